// Building the playlist from the destination listing into the playlist box, and saving the box's text.

#include "playlist/PlaylistPanel.h"

#include "core/models/DestinationListing.h"
#include "playlist/PlaylistFile.h"
#include "ui/FormLayout.h"
#include "ui/PathHelpers.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

PlaylistPanel::PlaylistPanel(const PanelContext& context, const core::DestinationListing& destination)
    : m_context(context), m_destination(destination),
      PlayListName(ui::childNamed<QLineEdit>(&context.window, "PlayListName")),
      M3UText(ui::childNamed<QPlainTextEdit>(&context.window, "M3UText")),
      MakePlayList(ui::childNamed<QPushButton>(&context.window, "MakePlayList")),
      SetPathCheck(ui::childNamed<QCheckBox>(&context.window, "SetPathCheck")),
      SavePlayList(ui::childNamed<QPushButton>(&context.window, "SavePlayList")) {
    m_context.onClick(MakePlayList, this, [this] { MakePlayList_Click(); });
    m_context.onClick(SavePlayList, this, [this] { SavePlayList_Click(); });
    // A stored 2 shows the partly checked state; the user's click only ever checks or clears the box.
    connect(SetPathCheck, &QCheckBox::clicked, this, [this] { SetPathCheck->setTristate(false); });
}

QString PlaylistPanel::name() const {
    return PlayListName->text();
}

void PlaylistPanel::setName(const QString& name) {
    PlayListName->setText(name);
}

int PlaylistPanel::pathSetting() const {
    // Qt numbers the checked and the partly checked states the other way round.
    switch (SetPathCheck->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void PlaylistPanel::setPathSetting(int setting) {
    SetPathCheck->setTristate(setting == 2);
    SetPathCheck->setCheckState(setting == 2   ? Qt::PartiallyChecked
                                : setting == 1 ? Qt::Checked
                                               : Qt::Unchecked);
}

void PlaylistPanel::MakePlayList_Click() {
    {
        BusyScope busy(m_context.busy);
        M3UText->clear();
        // A partly checked box still asks for the folder; only an unchecked one leaves it out.
        const QString prefix =
            SetPathCheck->checkState() == Qt::Unchecked ? QString() : AddPathSep(m_destinationFolder);
        M3UText->setPlainText(ui::playListText(m_destination.names(), prefix));
    }
    M3UText->setFocus();
}

void PlaylistPanel::SavePlayList_Click() {
    core::Result saved;
    QString path;
    {
        BusyScope busy(m_context.busy);
        path = AddPathSep(m_destinationFolder) + PlayListName->text();
        saved = ui::writePlayListFile(m_destinationFolder, PlayListName->text(),
                                      ui::playListFileBytes(M3UText->toPlainText()));
    }
    // Told after the window is usable again, so nothing is left disabled behind the message.
    if (!saved)
        m_context.showError(
            QStringLiteral("ﾌﾟﾚｲﾘｽﾄの保存に失敗しました。\r%1\r%2").arg(path, saved.reason()));
}
