#include "id3v23.h"

#include <cstring>
#include <map>

namespace vbmp3 {
namespace {

// Frames of version 2.4 that 2.3 has no place for; every other frame keeps its name.
const char* const OnlyIn24[] = {"ASPI", "EQU2", "RVA2", "SEEK", "SIGN", "TDEN",
                                "TDRL", "TDTG", "TMOO", "TPRO", "TSST"};

// Version 2.2 names and their 2.3 names (iTunes' own frames included); a 2.2 frame not listed is dropped.
const std::map<std::string, std::string>& names22() {
    static const std::map<std::string, std::string> names = {
        {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"}, {"ETC", "ETCO"},
        {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"},
        {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"},
        {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"},
        {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"},
        {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
        {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
        {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"},
        {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"},
        {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"},
        {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
        {"WPB", "WPUB"}, {"WXX", "WXXX"}};
    return names;
}

bool wide(char encoding) {
    return encoding == 1 || encoding == 2;
}

bool ascii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string textFrame(const std::vector<std::string>& values) {
    std::string joined;
    for (const std::string& value : values) {
        joined += (joined.empty() ? "" : "/") + value;
    }
    char encoding = 0;
    const std::string bytes = encodeStrings({joined}, false, encoding);
    return encoding + bytes;
}

// 2.4 genres may be bare numbers; 2.3 writes a reference as "(13)".
std::string genre23(const std::string& value) {
    const bool number =
        !value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos;
    return number ? "(" + value + ")" : value;
}

// The 2.3 frames for a 2.4 time stamp "yyyy-MM-ddTHH:mm:ss" (any tail may be missing).
void addDateFrames(std::vector<Id3v2Frame>& out, const std::string& stamp) {
    const auto digits = [&](std::size_t at, std::size_t n) {
        return stamp.size() >= at + n &&
                       stamp.substr(at, n).find_first_not_of("0123456789") == std::string::npos
                   ? stamp.substr(at, n)
                   : std::string();
    };
    const std::string year = digits(0, 4), month = digits(5, 2), day = digits(8, 2), hour = digits(11, 2),
                      minute = digits(14, 2);
    if (year.empty()) {
        out.push_back({"TYER", {}, textFrame({stamp})}); // not a time stamp: kept as the year's text
        return;
    }
    out.push_back({"TYER", {}, textFrame({year})});
    if (!month.empty() && !day.empty()) {
        out.push_back({"TDAT", {}, textFrame({day + month})});
    }
    if (!hour.empty() && !minute.empty()) {
        out.push_back({"TIME", {}, textFrame({hour + minute})});
    }
}

// A frame's content with every string re-encoded for 2.3; false when the frame is left byte for byte.
bool reencoded(const std::string& id, const std::string& content, std::string& out) {
    if (content.empty()) {
        return false;
    }
    const char encoding = content[0];
    std::size_t pos = 1;
    char chosen = 0;
    if (id == "TXXX") {
        const std::string description = nextString(content, pos, encoding);
        std::vector<std::string> values;
        while (pos < content.size()) {
            values.push_back(nextString(content, pos, encoding));
        }
        std::string value;
        for (const std::string& v : values) {
            value += (value.empty() ? "" : "/") + v;
        }
        const std::string bytes = encodeStrings({description, value}, false, chosen);
        out = chosen + bytes;
        return true;
    }
    if (id[0] == 'T') {
        std::vector<std::string> values = textValues(content);
        if (id == "TCON") {
            for (std::string& value : values) {
                value = genre23(value);
            }
        }
        out = textFrame(values);
        return true;
    }
    if ((id == "COMM" || id == "USLT") && content.size() >= 4) {
        pos = 4;
        const std::string description = nextString(content, pos, encoding);
        const std::string text = nextString(content, pos, encoding);
        const std::string bytes = encodeStrings({description, text}, false, chosen);
        out = chosen + content.substr(1, 3) + bytes;
        return true;
    }
    if (id == "WXXX") {
        const std::string description = nextString(content, pos, encoding);
        const std::string bytes = encodeStrings({description}, true, chosen);
        out = chosen + bytes + content.substr(pos);
        return true;
    }
    if (id == "APIC") {
        const std::size_t mimeEnd = content.find('\0', 1);
        if (mimeEnd == std::string::npos || mimeEnd + 1 >= content.size()) {
            return false;
        }
        pos = mimeEnd + 2;
        const std::string description = nextString(content, pos, encoding);
        const std::string bytes = encodeStrings({description}, true, chosen);
        out = chosen + content.substr(1, mimeEnd + 1) + bytes + content.substr(pos);
        return true;
    }
    return false;
}

// A 2.2 picture's three-letter image format as a MIME type.
std::string pictureFrom22(const std::string& content) {
    if (content.size() < 5) {
        return content;
    }
    std::string format = content.substr(1, 3);
    for (char& c : format) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    const std::string mime = format == "jpg" ? "image/jpeg" : "image/" + format;
    return content.substr(0, 1) + mime + '\0' + content.substr(4);
}

} // namespace

std::string nextString(const std::string& content, std::size_t& pos, char encoding) {
    std::size_t end = std::string::npos;
    if (wide(encoding)) {
        for (std::size_t i = pos; i + 1 < content.size(); i += 2) {
            if (content[i] == '\0' && content[i + 1] == '\0') {
                end = i;
                break;
            }
        }
    } else {
        end = content.find('\0', pos);
    }
    const std::size_t stop = end == std::string::npos ? content.size() : end;
    const std::vector<std::string> values = textValues(encoding + content.substr(pos, stop - pos));
    pos = end == std::string::npos ? content.size() : end + (wide(encoding) ? 2 : 1);
    return values.empty() ? std::string() : values.front();
}

std::string encodeStrings(const std::vector<std::string>& utf8, bool terminateLast, char& encoding) {
    bool allAscii = true;
    for (const std::string& text : utf8) {
        allAscii = allAscii && ascii(text);
    }
    encoding = allAscii ? 0 : 1;
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        out += allAscii ? utf8[i] : utf8ToUtf16(utf8[i]);
        if (i + 1 < utf8.size() || terminateLast) {
            out += allAscii ? std::string(1, '\0') : std::string(2, '\0');
        }
    }
    return out;
}

void convertToId3v23(Id3v2Tag& tag, std::vector<std::string>& dropped) {
    if (tag.version != 2 && tag.version != 4) {
        return;
    }
    std::vector<Id3v2Frame> frames;
    std::vector<std::string> people; // IPLS: role, name, role, name ...
    for (const Id3v2Frame& frame : tag.frames) {
        std::string content;
        std::string id = frame.id;
        if (tag.version == 2) {
            const auto name = names22().find(id);
            id = name == names22().end() ? std::string() : name->second;
        }
        bool only24 = false;
        for (const char* name : OnlyIn24) {
            only24 = only24 || id == name;
        }
        // A compressed or encrypted frame cannot be carried over without its 2.4 data length.
        if (id.empty() || only24 || !frameContent(tag, frame, content)) {
            dropped.push_back(frame.id);
            continue;
        }
        if (tag.version == 2 && id == "APIC") {
            content = pictureFrom22(content);
        }
        if (id == "TDRC" || id == "TDOR") {
            const std::vector<std::string> values = textValues(content);
            const std::string stamp = values.empty() ? std::string() : values.front();
            if (id == "TDRC") {
                addDateFrames(frames, stamp);
            } else {
                frames.push_back({"TORY", {}, textFrame({stamp.substr(0, 4)})});
            }
            continue;
        }
        if (id == "TIPL" || id == "TMCL") {
            for (const std::string& value : textValues(content)) {
                people.push_back(value);
            }
            continue;
        }
        Id3v2Frame converted{id, {}, content};
        std::string reworked;
        if (reencoded(id, content, reworked)) {
            converted.data = reworked;
        }
        // Status flags: 2.4 keeps them one bit lower than 2.3. The content is stored plain.
        converted.flags[0] = tag.version == 4 ? static_cast<std::uint8_t>((frame.flags[0] & 0x70) << 1) : 0;
        frames.push_back(std::move(converted));
    }
    if (!people.empty()) {
        if (people.size() % 2 != 0) {
            people.emplace_back();
        }
        char encoding = 0;
        const std::string bytes = encodeStrings(people, true, encoding);
        frames.push_back({"IPLS", {}, encoding + bytes});
    }
    tag.version = 3;
    tag.flags = 0; // no unsynchronisation, extended header or footer: the frames are written plain
    tag.frames = std::move(frames);
}

} // namespace vbmp3
