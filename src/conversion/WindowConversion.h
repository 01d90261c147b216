// The window's side of a conversion: how progress shows in its controls and how an outcome becomes its
// message box. Used for files converted in the window's own process and in worker processes alike.
#pragma once

#include "core/ConversionJob.h"
#include "core/Converter.h"

class MainForm;

// Shows the percentage in Prog and the song in Msg, lets the window's events run whenever the shown
// percentage changes and at the converter's pauses, and reads the cancel flag.
class WindowSink : public core::ConversionSink {
  public:
    explicit WindowSink(MainForm& form) : m_form(form) {}
    void started() override;
    void decoding(const QString& songText) override;
    void progress(int percent) override;
    void pause() override;
    bool cancelRequested() override;

  private:
    MainForm& m_form;
};

// The outcome's message box, with the pointer switched around it where the message asks for it. A failed
// copy also sets the cancel flag, which stops the run after this file.
void showOutcome(MainForm& form, const core::Outcome& outcome, const QString& source);
