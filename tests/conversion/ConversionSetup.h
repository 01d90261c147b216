// A main window wired to real folders for conversion tests: source, work and destination folders in one
// temporary folder, files queued, the run's visible texts recorded as they change.
#pragma once

#include "ScriptedDialogs.h"
#include "TestProgram.h"
#include "WindowDriver.h"
#include "core/models/ConversionQueue.h"
#include "mp3_fixtures.h"
#include "window/MainForm.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <memory>

struct ConversionSetup {
    TestProgram program;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainForm> form;
    QString sourceFolder, workFolder, destinationFolder;
    QStringList nowCounts, captions, percents;

    ConversionSetup() {
        const QDir root(program.root.path());
        sourceFolder = root.filePath(QStringLiteral("元"));
        workFolder = root.filePath(QStringLiteral("作業"));
        destinationFolder = root.filePath(QStringLiteral("先"));
        for (const QString& folder : {sourceFolder, workFolder, destinationFolder})
            QDir().mkpath(folder);
        form = std::make_unique<MainForm>(program.info, dialogs);
        ui::field(*form, "SelectFolderText", 0)->setText(sourceFolder);
        ui::field(*form, "SelectFolderText", 1)->setText(workFolder);
        ui::field(*form, "SelectFolderText", 2)->setText(destinationFolder);
        QObject::connect(ui::field(*form, "NowCount"), &QLineEdit::textChanged,
                         [this](const QString& t) { nowCounts << t; });
        QObject::connect(ui::field(*form, "Prog"), &QLineEdit::textChanged,
                         [this](const QString& t) { percents << t; });
        QObject::connect(form.get(), &QWidget::windowTitleChanged,
                         [this](const QString& t) { captions << t; });
    }

    // Writes an MP3 file into the source folder and queues it; returns its path.
    QString addSource(const QString& name, const QByteArray& bytes) {
        const QString path = sourceFolder + QLatin1Char('/') + name;
        fixtures::writeFile(path, bytes);
        form->queue().add(path);
        return path;
    }

    void choose(int bitsIndex, int stereoIndex) {
        ui::option(*form, "Bits", bitsIndex)->setChecked(true);
        ui::option(*form, "Stereo", stereoIndex)->setChecked(true);
    }

    QStringList workFiles() const {
        return QDir(workFolder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList destinationFiles() const {
        return QDir(destinationFolder)
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList queue() const {
        QStringList entries;
        for (int i = 0; i < ui::list(*form, "SelectList")->count(); ++i)
            entries << ui::list(*form, "SelectList")->item(i)->text();
        return entries;
    }
};
