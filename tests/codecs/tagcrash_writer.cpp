// The writer that tst_tagcrash kills: one tag write through libvbmp3, in a process of its own.
//
//   tagcrash_writer [--as UID] FILE
//
// writes the record of tagcrash_record.h to FILE; with --as, as that user and group (the tests run as
// the superuser reach the temporary folder's in-place rewrite so). Exit status 0 when the write succeeded.
#include "tagcrash_record.h"
#include "vbmp3.h"

#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    int at = 1;
    if (argc == 4 && std::strcmp(argv[1], "--as") == 0) {
        const auto id = static_cast<uid_t>(std::strtoul(argv[2], nullptr, 10));
        const gid_t group = id;
        if (::setgroups(1, &group) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0) {
            return 2;
        }
        at = 3;
    }
    if (at + 1 != argc) {
        return 2;
    }
    const VBMP3_TAG_INFO record = tagcrash::record();
    return vbmp3_setTagInfoEX(argv[at], &record, 1, 1) != 0 ? 0 : 1;
}
