#pragma once
// The timings the DisplayID extensions of an EDID declare, read through the one walk of its
// blocks (EdidBlocks.h): detailed timings (types I, II and VII), formula timings (types III, IX
// and X, computed by CVT), timing codes (types IV and VIII: DMT ids, video codes, HDMI VICs) and
// the video codes of CTA-861 data blocks carried inside DisplayID.
#include <cstdint>
#include <span>
#include <vector>

#include "edid/EdidBlocks.h"
#include "edid/VideoFormats.h"

namespace tavo {

enum class DisplayIdTimingKind : std::uint8_t {
    Detailed, // `timing` as declared
    Formula,  // `timing` computed by CVT (normal or reduced blanking)
    Dmt,      // `code` a DMT id
    Vic,      // `code` a CTA-861 video code
    HdmiVic,  // `code` an HDMI VIC
    Vic420,   // `code` a video code taken in YCbCr 4:2:0 only
};

struct DisplayIdTiming {
    DisplayIdTimingKind kind = DisplayIdTimingKind::Detailed;
    int tag = 0;    // the data block's tag (0x03, 0x22, 0x24, 0x81...)
    int offset = 0; // the descriptor or code, from the EDID's first byte
    int code = 0;
    VideoTiming timing{}; // Detailed and Formula; per-field porches when interlaced
    double refreshHz = 0; // Detailed and Formula: the exact field rate
    bool preferred = false;
};

// Every timing of every complete DisplayID extension of `bytes`, in the order they stand.
// `blocks` must be ReadEdidBlocks(bytes).
std::vector<DisplayIdTiming> ReadDisplayIdTimings(std::span<const std::uint8_t> bytes,
                                                  const EdidBlocks& blocks);

// The timing of a VESA DMT id (0x01..0x58), nullopt for others.
std::optional<VideoTiming> DmtIdTiming(int id);

// A CVT timing of `width` x `height` progressive at `rate` Hz: normal blanking (`reduced` 0),
// reduced blanking (1) or reduced blanking version 2 (2).
VideoTiming CvtTiming(int width, int height, int rate, int reduced);

} // namespace tavo
