// Opening a file for decoding and decoding it: the frame scan, the gapless trimming and libmpg123 behind it.
#include "fuzz_file.h"
#include "vbmp3.h"

#include <sched.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string& path = fuzzFile(data, size);
    VBMP3_MPEG_INFO mpeg;
    vbmp3_getFileInfo(path.c_str(), nullptr, &mpeg);
    VBMP3_INPUT_INFO info;
    if (vbmp3_open(path.c_str(), &info) != 0 && vbmp3_decodeWave("/dev/null") != 0) {
        int32_t position = 0;
        int32_t state = 1;
        while ((state = vbmp3_getState(&position)) == 1) {
            sched_yield();
        }
        // A decoding that ends cleanly has written exactly the length it promised.
        if (state == VBMP3_STATE_DONE && position != info.totalLength) {
            __builtin_trap();
        }
    }
    vbmp3_close();
    return 0;
}
