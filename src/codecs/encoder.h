// The program's calls into the encoder library (libgogo): one WAV work file encoded into an MP3 work file.
//
// Every method calls the operation of the same name through encoderFunctions(). The library is loaded and
// the operation resolved on first use; when either fails the method throws CodecError, whose description
// names the library and the operation. Otherwise failures show only in the results described here.
//
// Order for one file: getVersion; initializeWork (0: set up) -> getUnitStates -> setConfigure for
// InputFile, OutputFile, OutputRate, Mode, BitRate -> detectConfigure; on 0: getConfigure(FrameCount)
// and processFrame until it returns something other than 0; closeCoder then endCoder end every encoding
// that initializeWork set up.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace codecs {

class Encoder {
  public:
    // Configuration items.
    enum Item {
        InputFile = 1,
        OutputFile = 2,
        Mode = 3,
        BitRate = 4,
        OutputRate = 6,
        FrameCount = 15,
        // Additions of the command line: variable bit rate at LAME's -V quality, a gain in 1/100 dB.
        VbrQuality = 16,
        Gain = 17
    };
    static constexpr int VersionBufferSize = 255;
    static constexpr int FrameDone = 0;        // processFrame: more frames follow
    static constexpr int AllFramesDone = 1;    // processFrame: the output is complete
    static constexpr int CannotOpenInput = 13; // detectConfigure: the work file cannot be opened

    // MPGE_getVersionVB: the 255-byte version buffer as the library left it (it starts out as blanks, so
    // a library that writes no NUL is visible) and the version number.
    [[nodiscard]] QByteArray getVersion(int& number);
    // The text of a version buffer up to its first NUL; nullopt when the library is not usable: the
    // first byte is NUL or there is no NUL at all.
    [[nodiscard]] static std::optional<QString> versionText(const QByteArray& buffer);

    // MPGE_initializeWorkVB: 0 when an encoding is set up.
    [[nodiscard]] int initializeWork();
    // MPGE_getUnitStatesVB: the processing units the library reports; the program uses nothing of it.
    [[nodiscard]] int getUnitStates();
    // MPGE_setConfigureVB: a null `text` is passed as a null pointer (numeric items). 0 when the library
    // took the item; ME_BAD_ITEM for one it does not know.
    [[nodiscard]] int setConfigure(int item, int number, const QString& text = QString());
    // MPGE_detectConfigureVB: 0 ready; 13 the input work file cannot be opened; else another failure.
    [[nodiscard]] int detectConfigure();
    // MPGE_getConfigureVB: the item's value (FrameCount: the number of processFrame calls the encoding
    // takes). Returns the library's result, 0 on success.
    [[nodiscard]] int getConfigure(int item, int& value);
    // MPGE_processFrameVB: 0 while frames follow, 1 when all are written, else an error code to show.
    [[nodiscard]] int processFrame();
    // MPGE_closeCoderVB, MPGE_endCoderVB.
    void closeCoder();
    void endCoder();
};

} // namespace codecs
