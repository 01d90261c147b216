// The tag editor's controls, laid out from one table in twips (15 to a pixel), the units the window was
// designed in.

#include "tageditor/frmTagInput.h"

#include "ui/FormLayout.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

enum class Kind { Label, TextBox, ReadOnlyText, Combo, Option, Button };

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* caption;
    int maxLength;                // characters; 0 for no limit
    int left, top, width, height; // twips
};

constexpr int ClientWidth = 5070 / ui::TwipsPerPixel;
constexpr int ClientHeight = 3135 / ui::TwipsPerPixel;

// clang-format off
const ControlSpec kControls[] = {
    {"FileNameText", Kind::ReadOnlyText, "", 0, 0, 0, 5055, 315},
    {"Label15", Kind::Label, "ｱｰﾃｨｽﾄ名　：", 0, 60, 420, 1095, 255},
    {"txtArtist", Kind::TextBox, "", 30, 1140, 420, 3615, 270},
    {"Label14", Kind::Label, "ﾄﾗｯｸ名　：", 0, 60, 780, 1095, 255},
    {"txtTrack", Kind::TextBox, "", 30, 1140, 780, 3615, 270},
    {"Label17", Kind::Label, "ｱﾙﾊﾞﾑ名　：", 0, 60, 1140, 1095, 255},
    {"txtAlbum", Kind::TextBox, "", 30, 1140, 1140, 3615, 270},
    {"Label21", Kind::Label, "ﾘﾘｰｽ年　：", 0, 60, 1500, 1095, 255},
    {"txtYYYYMM", Kind::TextBox, "", 4, 1140, 1500, 735, 270},
    {"Label23", Kind::Label, "ｼﾞｬﾝﾙ　：", 0, 60, 1860, 1095, 255},
    {"cbGenre", Kind::Combo, "", 0, 1140, 1860, 3615, 300},
    {"Label19", Kind::Label, "ｺﾒﾝﾄ　：", 0, 60, 2220, 1095, 255},
    {"txtComment", Kind::TextBox, "", 30, 1140, 2220, 3615, 270},
    {"Label1", Kind::Label, "ﾄﾗｯｸ番号　：", 0, 60, 2640, 1095, 255},
    {"txtTrackNo", Kind::TextBox, "", 0, 1140, 2580, 615, 315},
    {"chkSelVer(0)", Kind::Option, "v1.0", 0, 1920, 2580, 735, 255},
    {"chkSelVer(1)", Kind::Option, "v1.1", 0, 1920, 2880, 735, 255},
    {"cmdReg", Kind::Button, "更新", 0, 2940, 2700, 975, 375},
    {"cmdCancel", Kind::Button, "閉じる", 0, 4020, 2700, 975, 375},
};

// The window's focus order; the labels take no focus and are passed over.
const char* const kTabOrder[] = {
    "Label23", "Label21", "Label19", "Label17", "Label15", "Label14", "txtArtist", "txtTrack", "txtAlbum",
    "txtYYYYMM", "txtComment", "cbGenre", "cmdReg", "cmdCancel", "chkSelVer(0)", "chkSelVer(1)",
    "txtTrackNo", "Label1", "FileNameText",
};
// clang-format on

QWidget* createWidget(const ControlSpec& spec, QWidget* parent) {
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case Kind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    }
    case Kind::TextBox: {
        auto* text = new QLineEdit(parent);
        // Also cuts text put in by the program, so a long stored field shows only what may be typed.
        if (spec.maxLength > 0)
            text->setMaxLength(spec.maxLength);
        return text;
    }
    case Kind::ReadOnlyText: {
        auto* text = new QLineEdit(parent);
        text->setReadOnly(true);
        return text;
    }
    case Kind::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        // Typed text never becomes a genre of its own; the genre list stays the library's 256.
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case Kind::Option:
        return new QRadioButton(caption, parent);
    case Kind::Button:
        return new QPushButton(caption, parent);
    }
    return nullptr;
}

} // namespace

void frmTagInput::createControls() {
    setFixedSize(ClientWidth, ClientHeight);
    for (const ControlSpec& spec : kControls) {
        QWidget* widget = createWidget(spec, this);
        widget->setObjectName(QString::fromLatin1(spec.name));
        widget->setGeometry(ui::twipsToPixels(spec.left, spec.top, spec.width, spec.height));
    }

    FileNameText = ui::childNamed<QLineEdit>(this, "FileNameText");
    txtArtist = ui::childNamed<QLineEdit>(this, "txtArtist");
    txtTrack = ui::childNamed<QLineEdit>(this, "txtTrack");
    txtAlbum = ui::childNamed<QLineEdit>(this, "txtAlbum");
    txtYYYYMM = ui::childNamed<QLineEdit>(this, "txtYYYYMM");
    cbGenre = ui::childNamed<QComboBox>(this, "cbGenre");
    txtComment = ui::childNamed<QLineEdit>(this, "txtComment");
    txtTrackNo = ui::childNamed<QLineEdit>(this, "txtTrackNo");
    chkSelVer[0] = ui::childNamed<QRadioButton>(this, "chkSelVer(0)");
    chkSelVer[1] = ui::childNamed<QRadioButton>(this, "chkSelVer(1)");
    cmdReg = ui::childNamed<QPushButton>(this, "cmdReg");
    cmdCancel = ui::childNamed<QPushButton>(this, "cmdCancel");

    // Enter presses "更新" unless another button has the focus; Esc closes the window as "閉じる" does.
    cmdReg->setDefault(true);
}

void frmTagInput::applyTabOrder() {
    ui::applyTabOrder(this, kTabOrder);
    // The first control in that order is the one with the focus when the window opens.
    txtArtist->setFocus();
}
