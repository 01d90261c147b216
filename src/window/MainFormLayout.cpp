// The main window's controls, laid out from one table in twips (15 to a pixel), the units the window was
// designed in, so that every position can be checked against docs/mainform.png at a glance.

#include "core/convert/EncodingChoices.h"
#include "core/text/TextConstants.h"
#include "window/MainForm.h"

#include "ui/FormLayout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

enum class Kind {
    Frame,
    Label,
    HighlightLabel,   // right-aligned, highlight-coloured text
    TextBox,          // ordinary editable single-line text
    FolderField,      // single-line, locked against typing
    DisplayField,     // right-aligned progress figure, outside the tab order
    MultiLineDisplay, // status text, outside the tab order
    MultiLineText,    // editable, with both scroll bars
    Button,
    CheckBox,
    Option,
    List, // extended multi-selection
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* parent; // nullptr: the window itself
    const char* caption;
    const char* toolTip;
    int left, top, width, height; // twips
};

// clang-format off
const ControlSpec kControls[] = {
    {"Frame1", Kind::Frame, nullptr, "変換元：", "", 0, 0, 15255, 5715},
    {"SelectFolderText(0)", Kind::FolderField, "Frame1", "C:\\", "", 780, 0, 7155, 270},
    {"SelctFolder(0)", Kind::Button, "Frame1", "…", "変換元フォルダを選択", 7920, 0, 375, 315},
    {"SFileList", Kind::List, "Frame1", "", "", 60, 360, 7875, 2430},
    {"Frame2", Kind::Frame, "Frame1", "変換情報：", "", 60, 2820, 8175, 1575},
    {"Label1", Kind::Label, "Frame2", "作業用ﾌｫﾙﾀﾞ：", "", 120, 240, 1155, 195},
    {"SelectFolderText(1)", Kind::FolderField, "Frame2", "C:\\Temp", "", 1260, 180, 6435, 270},
    {"SelctFolder(1)", Kind::Button, "Frame2", "…", "作業用フォルダを選択", 7680, 180, 375, 315},
    {"Frame5", Kind::Frame, "Frame2", "ﾋﾞｯﾄﾚｰﾄ：", "", 60, 540, 4875, 915},
    {"Bits(0)", Kind::Option, "Frame5", "", "", 120, 300, 555, 195},
    {"Bits(1)", Kind::Option, "Frame5", "", "", 780, 300, 555, 195},
    {"Bits(2)", Kind::Option, "Frame5", "", "", 1440, 300, 555, 195},
    {"Bits(3)", Kind::Option, "Frame5", "", "", 2100, 300, 555, 195},
    {"Bits(4)", Kind::Option, "Frame5", "", "", 2760, 300, 555, 195},
    {"Bits(5)", Kind::Option, "Frame5", "", "", 3420, 300, 555, 195},
    {"Bits(6)", Kind::Option, "Frame5", "", "", 4080, 300, 555, 195},
    {"Bits(7)", Kind::Option, "Frame5", "", "", 120, 540, 615, 195},
    {"Bits(8)", Kind::Option, "Frame5", "", "", 780, 540, 615, 195},
    {"Bits(9)", Kind::Option, "Frame5", "", "", 1440, 540, 615, 195},
    {"Bits(10)", Kind::Option, "Frame5", "", "", 2100, 540, 615, 195},
    {"Bits(11)", Kind::Option, "Frame5", "", "", 2760, 540, 615, 195},
    {"Bits(12)", Kind::Option, "Frame5", "", "", 3420, 540, 615, 195},
    {"Bits(13)", Kind::Option, "Frame5", "", "", 4080, 540, 615, 195},
    {"TempFree", Kind::HighlightLabel, "Frame2", "", "", 4980, 540, 3075, 255},
    {"Frame6", Kind::Frame, "Frame2", "音質：", "", 5040, 780, 3015, 675},
    {"Stereo(0)", Kind::Option, "Frame6", "ﾓﾉﾗﾙ", "", 120, 300, 795, 180},
    {"Stereo(1)", Kind::Option, "Frame6", "ｽﾃﾚｵ", "", 960, 300, 795, 180},
    {"Stereo(2)", Kind::Option, "Frame6", "Joinｽﾃﾚｵ", "", 1800, 300, 1095, 180},
    {"Frame4", Kind::Frame, "Frame1", "処理情報：", "", 60, 4440, 6915, 1155},
    {"Msg", Kind::MultiLineDisplay, "Frame4", "", "", 120, 240, 6735, 795},
    {"Prog", Kind::DisplayField, "Frame4", "", "", 3660, 120, 1815, 270},
    {"NowCount", Kind::DisplayField, "Frame4", "", "", 5460, 120, 1395, 270},
    {"ConvertStart", Kind::Button, "Frame1", "変換開始", "変換開始", 7020, 4560, 1215, 1035},
    {"AllSelect", Kind::Button, "Frame1", ">>", "全て変換", 7920, 360, 435, 555},
    {"OneSelect", Kind::Button, "Frame1", ">", "選択したファイルの変換", 7920, 960, 435, 555},
    {"OneRemove", Kind::Button, "Frame1", "<", "選択したファイルの取り消し", 7920, 1620, 435, 555},
    {"AllRemove", Kind::Button, "Frame1", "<<", "全て取り消し", 7920, 2220, 435, 555},
    {"Label3", Kind::Label, "Frame1", "選択ﾌｧｲﾙ：", "", 8400, 180, 975, 195},
    {"SelectFileSize", Kind::HighlightLabel, "Frame1", "", "", 9360, 180, 5835, 195},
    {"SelectList", Kind::List, "Frame1", "", "", 8340, 360, 6855, 5280},
    {"Frame3", Kind::Frame, nullptr, "変換先：", "", 0, 5760, 15255, 4575},
    {"SelectFolderText(2)", Kind::FolderField, "Frame3", "C:\\", "", 780, 0, 5595, 270},
    {"SelctFolder(2)", Kind::Button, "Frame3", "…", "変換先フォルダを選択", 6360, 0, 375, 315},
    {"MakeNewDir", Kind::Button, "Frame3", "新規ﾌｫﾙﾀﾞ作成", "", 6720, 0, 1575, 315},
    {"DFileList", Kind::List, "Frame3", "", "", 60, 360, 8235, 3840},
    {"DeleteFile", Kind::Button, "Frame3", "選択ﾌｧｲﾙ削除", "", 60, 4200, 1515, 375},
    {"ListSort(0)", Kind::Option, "Frame3", "作成日順", "", 1740, 4320, 1155, 195},
    {"ListSort(1)", Kind::Option, "Frame3", "名前順", "", 2940, 4320, 915, 195},
    {"FreeSpace", Kind::HighlightLabel, "Frame3", "", "", 4200, 4260, 4035, 255},
    {"Label2", Kind::Label, "Frame3", "ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ名：", "", 8400, 180, 1455, 195},
    {"PlayListName", Kind::TextBox, "Frame3", "MP3LIST.M3U", "", 9780, 120, 5415, 270},
    {"M3UText", Kind::MultiLineText, "Frame3", "", "", 8340, 420, 6855, 3795},
    {"MakePlayList", Kind::Button, "Frame3", "ﾌﾟﾚｲﾘｽﾄ作成", "プレイリストを作成", 8340, 4200, 1515, 375},
    {"SetPathCheck", Kind::CheckBox, "Frame3", "パス名を付加する。", "", 9900, 4260, 1935, 195},
    {"SavePlayList", Kind::Button, "Frame3", "ﾌﾟﾚｲﾘｽﾄ保存", "プレイリストをファイル保存", 11940, 4200, 1455, 375},
    {"ProgExit", Kind::Button, "Frame3", "終了", "", 13980, 4200, 1275, 375},
};

// The window's focus order; controls that take no focus are passed over.
const char* const kTabOrder[] = {
    "Frame3", "Frame1", "Frame4", "AllRemove", "OneRemove", "OneSelect", "AllSelect", "SelectList", "Frame2",
    "SFileList", "SelectFolderText(0)", "SelctFolder(0)", "SelectFolderText(1)", "SelctFolder(1)", "Label1",
    "SelectFolderText(2)", "SelctFolder(2)", "M3UText", "Label2", "Frame5",
    "Bits(0)", "Bits(1)", "Bits(2)", "Bits(3)", "Bits(4)", "Bits(5)", "Bits(6)", "Bits(7)", "Bits(8)",
    "Bits(9)", "Bits(10)", "Bits(11)", "Bits(12)", "Bits(13)", "Frame6", "Stereo(0)", "Stereo(1)", "Stereo(2)",
    "ConvertStart", "SavePlayList", "PlayListName", "Msg", "Prog", "Label3", "SelectFileSize", "FreeSpace",
    "MakePlayList", "SetPathCheck", "ProgExit", "TempFree", "NowCount", "DeleteFile", "MakeNewDir",
    "DFileList", "ListSort(0)", "ListSort(1)",
};
// The controls the busy state disables, in the order it switches them: the user's input controls, all
// but the sort options, which stay usable during a run.
const char* const kBusyControls[] = {
    "SetPathCheck", "AllRemove", "AllSelect", "ConvertStart", "DeleteFile", "MakePlayList", "OneRemove",
    "OneSelect", "ProgExit", "SavePlayList", "MakeNewDir", "SelctFolder(0)", "SelctFolder(1)",
    "SelctFolder(2)", "DFileList", "SFileList", "SelectList",
    "Bits(0)", "Bits(1)", "Bits(2)", "Bits(3)", "Bits(4)", "Bits(5)", "Bits(6)", "Bits(7)", "Bits(8)",
    "Bits(9)", "Bits(10)", "Bits(11)", "Bits(12)", "Bits(13)", "Stereo(0)", "Stereo(1)", "Stereo(2)",
    "M3UText", "PlayListName", "SelectFolderText(0)", "SelectFolderText(1)", "SelectFolderText(2)",
};

// Each option array is one exclusive group, whatever frame it sits in, with the option the window
// definition selects.
struct OptionArray {
    const char* base;
    int count;
    int selected;
};
const OptionArray kOptionArrays[] = {{"Bits", int(core::BitRates.size()), 6}, {"Stereo", 3, 1}, {"ListSort", 2, 0}};
// clang-format on

// A one-line caption centred on the ink of its glyphs rather than on the font's line box. The window's
// labels are 13 pixels high, less than the line height of a CJK face at dialog size, and a
// plain label would cut the bottom off the characters.
class CaptionLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect ink = metrics.tightBoundingRect(text());
        const int baseline = (height() - ink.height()) / 2 - ink.top();
        const int advance = metrics.horizontalAdvance(text());
        const int x = (alignment() & Qt::AlignRight) ? width() - advance : 0;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(x, baseline, text());
    }
};

// The status text of a conversion: four lines (state, artist, title, album) in the 53 pixels the window
// definition gives it. A CJK face's own line spacing fits two and a half of them, and a scroll bar would
// sit under the progress figures; so each line is drawn in a quarter of the height, its glyphs centred
// there, and a line too long for the width ends in "…".
class StatusText : public QPlainTextEdit {
  public:
    using QPlainTextEdit::QPlainTextEdit;

  protected:
    void paintEvent(QPaintEvent*) override {
        constexpr int Lines = 4;
        constexpr int Margin = 2;
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::Text));
        const QFontMetrics metrics(font());
        QString text = toPlainText();
        text.replace(core::CRLF, QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QStringList lines = text.split(QLatin1Char('\n'));
        const qreal pitch = qreal(viewport()->height()) / Lines;
        const QRect ink = metrics.tightBoundingRect(QStringLiteral("曲国ア"));
        const int width = viewport()->width() - 2 * Margin;
        for (int i = 0; i < Lines && i < lines.size(); ++i) {
            const int baseline = qRound(i * pitch + (pitch - ink.height()) / 2.0) - ink.top();
            painter.drawText(Margin, baseline, metrics.elidedText(lines[i], Qt::ElideRight, width));
        }
    }
};

void useHighlightText(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor highlight = palette.color(QPalette::Highlight);
    palette.setColor(QPalette::WindowText, highlight);
    palette.setColor(QPalette::Text, highlight);
    widget->setPalette(palette);
}

// Progress fields sit on the button face, not on the usual white of an editable box.
void useButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    widget->setPalette(palette);
}

QWidget* createWidget(const ControlSpec& spec, QWidget* parent) {
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case Kind::Frame:
        return new QGroupBox(caption, parent);
    case Kind::Label:
        return new CaptionLabel(caption, parent);
    case Kind::HighlightLabel: {
        auto* label = new CaptionLabel(caption, parent);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        useHighlightText(label);
        return label;
    }
    case Kind::TextBox:
        return new QLineEdit(caption, parent);
    case Kind::FolderField: {
        auto* field = new QLineEdit(caption, parent);
        field->setReadOnly(true);
        return field;
    }
    case Kind::DisplayField: {
        auto* field = new QLineEdit(caption, parent);
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setFocusPolicy(Qt::NoFocus);
        field->setFrame(false);
        field->setTextMargins(0, 0, 0, 0);
        QFont font = field->font();
        font.setPointSizeF(11.25);
        field->setFont(font);
        useHighlightText(field);
        useButtonFace(field);
        return field;
    }
    case Kind::MultiLineDisplay: {
        auto* field = new StatusText(caption, parent);
        field->setFocusPolicy(Qt::NoFocus);
        field->setFrameShape(QFrame::NoFrame);
        field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        useButtonFace(field);
        return field;
    }
    case Kind::MultiLineText: {
        auto* text = new QPlainTextEdit(caption, parent);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text->setTabChangesFocus(true);
        return text;
    }
    case Kind::Button:
        return new QPushButton(caption, parent);
    case Kind::CheckBox:
        return new QCheckBox(caption, parent);
    case Kind::Option:
        return new QRadioButton(caption, parent);
    case Kind::List: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return list;
    }
    }
    return nullptr;
}

QByteArray optionName(const char* base, int index) {
    return QByteArray(base) + '(' + QByteArray::number(index) + ')';
}

} // namespace

void MainForm::createControls() {
    for (const ControlSpec& spec : kControls) {
        QWidget* parent = spec.parent ? findChild<QWidget*>(QString::fromLatin1(spec.parent)) : m_client;
        Q_ASSERT(parent);
        QWidget* widget = createWidget(spec, parent);
        widget->setObjectName(QString::fromLatin1(spec.name));
        widget->setGeometry(ui::twipsToPixels(spec.left, spec.top, spec.width, spec.height));
        if (spec.toolTip[0] != '\0')
            widget->setToolTip(QString::fromUtf8(spec.toolTip));
    }

    ProgExit = ui::childNamed<QPushButton>(this, "ProgExit");
    for (const char* name : kBusyControls)
        m_busyControls.push_back(ui::childNamed<QWidget>(this, name));

    // Each option array is one exclusive group, whatever frame it sits in.
    // The selections the window starts with; start-up replaces them with the settings.
    for (const auto& [base, count, selected] : kOptionArrays) {
        auto* buttonGroup = new QButtonGroup(this);
        for (int i = 0; i < count; ++i)
            buttonGroup->addButton(ui::childNamed<QRadioButton>(this, optionName(base, i).constData()));
        ui::keepTabStopOnChecked(buttonGroup);
        ui::childNamed<QRadioButton>(this, optionName(base, selected).constData())->setChecked(true);
    }

    // The bit-rate options are captioned with the rates they choose.
    for (std::size_t i = 0; i < core::BitRates.size(); ++i)
        ui::childNamed<QRadioButton>(this, optionName("Bits", int(i)).constData())
            ->setText(QString::number(core::BitRates[i]));

    // The progress figures are drawn over the status text's upper right corner, and the queue's labels
    // over the queue's top edge, which they overlap by a pixel.
    for (const char* name : {"Prog", "NowCount", "Label3", "SelectFileSize"})
        ui::childNamed<QWidget>(this, name)->raise();
}

void MainForm::applyTabOrder() {
    ui::applyTabOrder(this, kTabOrder);
}
