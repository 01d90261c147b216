// What a run is asked to do beyond re-encoding at one bit rate and channel mode: the command line's
// options and the window's conversion options. At their defaults a run makes exactly the files the
// window's plain run makes.
#pragma once

#include "core/convert/ConversionJob.h"

namespace core {

struct RunOptions {
    // Keeping a converted copy in step.
    bool update = false;    // only outputs that are missing or out of date are made
    bool checksum = false;  // with update: every source's content compared, whatever its size and time
    bool noUpscale = false; // a source at or below the target is copied instead of re-encoded
    bool keepDates = false; // outputs get their sources' modification times
    bool fatNames = false;  // names FAT and exFAT refuse are written in full-width forms
    // Files for car stereos and older players.
    bool id3v23 = false; // the output's ID3v2 tag becomes version 2.3
    int coverMax = 0;    // > 0: covers larger than this many pixels a side are shrunk
    Normalize normalize = Normalize::Off;
    double targetLufs = -16.0;
    int vbrQuality = -1; // 0..9: variable bit rate at this quality instead of the bit rate

    // Whether any option differs from its default: a run with none makes the window's plain files.
    bool anyOn() const {
        return update || checksum || noUpscale || keepDates || fatNames || id3v23 || coverMax > 0 ||
               normalize != Normalize::Off || vbrQuality >= 0;
    }
    bool operator==(const RunOptions&) const = default;
};

} // namespace core
