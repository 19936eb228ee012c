#pragma once
// The creator page's numbered control families, one constant table each. The load mapping, the
// build and the construction of the Qt pages all read these tables, so a box's name, caption and
// EDID bit are written down exactly once.
//
// A numbered control's object name is its family prefix followed by the number in decimal
// ("CheckBox_EstablishTiming_" + "17"); the video boxes are numbered by their VIC.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavo::creator {

// ---------------------------------------------------------------------------------------------
// Names of the single controls

// "Descriptor" page
inline constexpr std::string_view kManufacturerName = "Edit_Creator_Manufac_Name";
inline constexpr std::string_view kMonitorName = "Edit_Creator_Monitor_Name";
inline constexpr std::string_view kProductCode = "Edit_Creator_Product_Code";
inline constexpr std::string_view kSerialNumber = "Edit_Creator_Serial_Number";
inline constexpr std::string_view kManufactureYear = "Edit_Creator_Manufac_Year";
inline constexpr std::string_view kManufactureWeek = "Edit_Creator_Manufac_Week";

// "Audio1" page
inline constexpr std::string_view kLpcmMaxChannels = "Edit_AudioLPCM_MaxCh";
inline constexpr std::string_view kBasicAudio = "CheckBox_AudioFormat_1";       // "Basic"
inline constexpr std::string_view kHiddenLpcmFormat = "CheckBox_AudioFormat_2"; // never read

// "Color Space" page
inline constexpr std::string_view kHdrDescriptorType1 = "CheckBox_HDR_Despt_1"; // "Type 1"
inline constexpr std::string_view kHdrDetail = "CheckBox_HDR_Detial";           // "For Detial"

// "Others" page
inline constexpr std::string_view k3DPresent = "CheckBox_3D_Present"; // "Yes"
inline constexpr std::string_view kCecAddress = "Edit_Creator_CEC_Address";
inline constexpr std::string_view kFormatHdmi = "RadioButton_Edid_Fmt_Hdmi";
inline constexpr std::string_view kFormatDvi = "RadioButton_Edid_Fmt_Dvi";

// Above the pages
inline constexpr std::string_view kWarningLine = "Label_EdidCreator_Warning";

// ---------------------------------------------------------------------------------------------
// Family prefixes

inline constexpr std::string_view kEstablishedTimingPrefix = "CheckBox_EstablishTiming_";
inline constexpr std::string_view kStandardTimingPrefix = "CheckBox_StandardTiming_";
inline constexpr std::string_view kVideoCodePrefix = "CheckBox_VideoIdCode_";
inline constexpr std::string_view kYuv420Prefix = "CheckBox_YUV420VDB_";
inline constexpr std::string_view kSpeakerPrefix = "CheckBox_SpeakerPosition_";
inline constexpr std::string_view kAudioFormatPrefix = "CheckBox_AudioFormat_";
inline constexpr std::string_view kLpcmRatePrefix = "CheckBox_AudioLPCM_Freq_";
inline constexpr std::string_view kLpcmSampleSizePrefix = "CheckBox_AudioLPCM_SamBit_";
inline constexpr std::string_view kColorSpacePrefix = "CheckBox_ColorSpace_";
inline constexpr std::string_view kColorDepthPrefix = "CheckBox_ColorDepth_";
inline constexpr std::string_view kColorimetryPrefix = "CheckBox_Colorimetry_";
inline constexpr std::string_view kHdrDeepColourPrefix = "CheckBox_HDR_";
inline constexpr std::string_view kHdrEotfPrefix = "CheckBox_HDR_EOTF_";
inline constexpr std::string_view kHdrLuminancePrefix = "Edit_HDR_DCLD_";

// prefix + number in decimal, composed without touching the heap (the load and the build
// compose a few hundred names each). Converts to std::string_view (valid while the value lives)
// and to std::string.
class ControlName {
public:
    ControlName(std::string_view prefix, int number);
    operator std::string_view() const { return {buf_, len_}; }
    operator std::string() const { return std::string(buf_, len_); }
    std::string_view view() const { return {buf_, len_}; }

private:
    char buf_[64];
    std::size_t len_ = 0;
};

// ---------------------------------------------------------------------------------------------
// "PC Timing": established timings. Box n stands for bit 24 - n of the established timings field
// (bits 23..16, 15..8, 7..0 are EDID bytes 35, 36, 37).

struct EstablishedTimingBox {
    int number;
    std::string_view panel;
    std::string_view caption;
    std::uint32_t bit;
};

inline constexpr std::array<EstablishedTimingBox, 17> kEstablishedTimings{{
    {1, "     720 x 400 @", "70Hz", 1u << 23},   // byte 35 bit 7
    {2, "     720 x 400 @", "88Hz", 1u << 22},   // byte 35 bit 6
    {3, "     640 x 480 @", "60Hz", 1u << 21},   // byte 35 bit 5
    {4, "     640 x 480 @", "67Hz", 1u << 20},   // byte 35 bit 4
    {5, "     640 x 480 @", "72Hz", 1u << 19},   // byte 35 bit 3
    {6, "     640 x 480 @", "75Hz", 1u << 18},   // byte 35 bit 2
    {7, "     800 x 600 @", "56Hz", 1u << 17},   // byte 35 bit 1
    {8, "     800 x 600 @", "60Hz", 1u << 16},   // byte 35 bit 0
    {9, "     800 x 600 @", "72Hz", 1u << 15},   // byte 36 bit 7
    {10, "     800 x 600 @", "75Hz", 1u << 14},  // byte 36 bit 6
    {11, "     832 x 624 @", "75Hz", 1u << 13},  // byte 36 bit 5
    {12, "     1024 x 768 @", "87Hz", 1u << 12}, // byte 36 bit 4
    {13, "     1024 x 768 @", "60Hz", 1u << 11}, // byte 36 bit 3
    {14, "     1024 x 768 @", "70Hz", 1u << 10}, // byte 36 bit 2
    {15, "     1024 x 768 @", "75Hz", 1u << 9},  // byte 36 bit 1
    {16, "     1280 x1024 @", "75Hz", 1u << 8},  // byte 36 bit 0
    {17, "     1152 x 870 @", "75Hz", 1u << 7},  // byte 37 bit 7
}};

// "PC Timing": standard timings, by the two EDID bytes of the entry (first byte high).
struct StandardTimingBox {
    int number;
    std::string_view panel;
    std::string_view caption;
    std::uint16_t code;
};

inline constexpr std::uint16_t kUnusedStandardTiming = 0x0101;

inline constexpr std::array<StandardTimingBox, 5> kStandardTimings{{
    {1, "     1280 x1024 @", "60Hz", 0x8180}, // 1280x1024 5:4 60 Hz
    {2, "     1280 x1024 @", "70Hz", 0x818A}, // 1280x1024 5:4 70 Hz
    {3, "     1600 x1200 @", "60Hz", 0xA940}, // 1600x1200 4:3 60 Hz
    {4, "     1600 x1200 @", "70Hz", 0xA94A}, // 1600x1200 4:3 70 Hz
    {5, "     1600 x1200 @", "75Hz", 0xA94F}, // 1600x1200 4:3 75 Hz
}};

// ---------------------------------------------------------------------------------------------
// "SD/HD/UHD": one box per VIC, named by the VIC, in page order.

struct VideoBox {
    int vic;
    std::string_view panel;
    std::string_view caption;
};

inline constexpr std::array<VideoBox, 21> kVideoBoxes{{
    {6, "     480i @", "60Hz"},    {3, "     480p @", "60Hz"},    {21, "     576i @", "50Hz"},
    {18, "     576p @", "50Hz"},   {60, "     720p @", "24Hz"},   {61, "     720p @", "25Hz"},
    {62, "     720p @", "30Hz"},   {19, "     720p @", "50Hz"},   {4, "     720p @", "60Hz"},
    {20, "     1080i @", "50Hz"},  {5, "     1080i @", "60Hz"},   {32, "     1080p @", "24Hz"},
    {33, "     1080p @", "25Hz"},  {34, "     1080p @", "30Hz"},  {31, "     1080p @", "50Hz"},
    {16, "     1080p @", "60Hz"},  {93, "     4K(3G) @", "24Hz"}, {94, "     4K(3G) @", "25Hz"},
    {95, "     4K(3G) @", "30Hz"}, {96, "     4K(6G) @", "50Hz"}, {97, "     4K(6G) @", "60Hz"},
}};

// The 3840x2160 formats at up to 30 Hz also travel as HDMI_VICs in the HDMI block.
struct HdmiVicBox {
    int vic;     // the video box
    int hdmiVic; // the HDMI_VIC the build writes for it
};
// Build order: box 93 appends 3, 94 appends 2, 95 appends 1.
inline constexpr std::array<HdmiVicBox, 3> kHdmiVicBoxes{{{93, 3}, {94, 2}, {95, 1}}};
// Load: HDMI_VIC 1..4 tick these video boxes (4096x2160 at 24 Hz shows as 3840x2160 at 24 Hz).
inline constexpr std::array<int, 5> kVideoBoxOfHdmiVic{{0, 95, 94, 93, 93}};

// YCbCr 4:2:0 boxes, named by the VIC.
inline constexpr std::array<VideoBox, 2> kYuv420Boxes{{
    {96, "     4K(3G) @", "50Hz"},
    {97, "     4K(3G) @", "60Hz"},
}};

// A 4K format counts as selected (for the HDR deep colour boxes) when any of these is ticked.
inline constexpr std::array<std::string_view, 7> k4KBoxes{{
    "CheckBox_VideoIdCode_93",
    "CheckBox_VideoIdCode_94",
    "CheckBox_VideoIdCode_95",
    "CheckBox_VideoIdCode_96",
    "CheckBox_VideoIdCode_97",
    "CheckBox_YUV420VDB_96",
    "CheckBox_YUV420VDB_97",
}};

// ---------------------------------------------------------------------------------------------
// "Audio1": speaker placement. Box n sets `bit` of the speaker allocation; boxes with a right-hand
// twin are mirrored by the box named with an "r" after the number.

struct SpeakerBox {
    int number;
    std::string_view caption;
    std::uint32_t bit;
    std::string_view twinCaption; // empty when the box has no twin
};

inline constexpr std::array<SpeakerBox, 11> kSpeakers{{
    {1, "FLW", 1u << 23, "FRW"}, // byte 1 bit 7
    {2, "RLC", 1u << 22, "RRC"}, // byte 1 bit 6
    {3, "FLC", 1u << 21, "FRC"}, // byte 1 bit 5
    {4, "RC", 1u << 20, ""},     // byte 1 bit 4
    {5, "RL", 1u << 19, "RR"},   // byte 1 bit 3
    {6, "FC", 1u << 18, ""},     // byte 1 bit 2
    {7, "LFE", 1u << 17, ""},    // byte 1 bit 1
    {8, "FL", 1u << 16, "FR"},   // byte 1 bit 0
    {9, "FCH", 1u << 10, ""},    // byte 2 bit 2
    {10, "TC", 1u << 9, ""},     // byte 2 bit 1
    {11, "FLH", 1u << 8, "FRH"}, // byte 2 bit 0
}};

const std::string& SpeakerName(const SpeakerBox& box);     // "CheckBox_SpeakerPosition_8"
const std::string& SpeakerTwinName(const SpeakerBox& box); // "..._8r", empty without a twin

// Rate box k of every audio panel and of the L-PCM group: a bit of the descriptor's rate byte.
struct AudioRateBox {
    int number;
    std::string_view caption;
    std::uint8_t bit;
};

inline constexpr std::array<AudioRateBox, 7> kAudioRates{{
    {1, "192kHz", 0x40},
    {2, "176.4kHz", 0x20},
    {3, "96kHz", 0x10},
    {4, "88.2kHz", 0x08},
    {5, "48kHz", 0x04},
    {6, "44.1kHz", 0x02},
    {7, "32kHz", 0x01},
}};

// L-PCM sample-size box k: a bit of the descriptor's third byte.
inline constexpr std::array<AudioRateBox, 3> kLpcmSampleSizes{{
    {1, "24Bit", 0x04},
    {2, "20Bit", 0x02},
    {3, "16Bit", 0x01},
}};

// ---------------------------------------------------------------------------------------------
// "Audio2": one panel per compressed format. The "Yes" box is CheckBox_AudioFormat_<formatBox>;
// the detail box, channel-count edit, rate boxes and bit-rate edit carry the name part.

enum class ThirdByte {
    BitRate, // the panel's bit rate / 8, or `thirdByte` with the defaults
    Fixed,   // always `thirdByte`
};

struct AudioPanel {
    int formatBox;            // n of CheckBox_AudioFormat_n; bit n - 1 of the formats present
    std::string_view panel;   // the panel's object name
    std::string_view caption; // the panel's title line
    std::string_view part;    // name part of its edits and boxes
    std::uint8_t code;        // CEA-861 audio format code
    std::uint8_t defaultChannels;
    std::uint8_t defaultRates;
    ThirdByte thirdByteKind;
    std::uint8_t thirdByte; // the default (BitRate) or the fixed value
    bool hasBitRate;        // the panel has Edit_Audio<part>_BitRate

    // first byte of a descriptor this panel adds: format code x 8 (the channel bits come later)
    constexpr std::uint8_t FirstByte() const { return static_cast<std::uint8_t>(code << 3); }
};

inline constexpr std::array<AudioPanel, 7> kAudioPanels{{
    {3, "Panel44", "     Dolby Digital", "AC3", 2, 6, 0x07, ThirdByte::BitRate, 80, true},
    {4, "Panel45", "     Dolby Digital+", "EAC3", 10, 8, 0x06, ThirdByte::Fixed, 0, false},
    {5, "Panel46", "     Dolby TrueHD", "MAT", 12, 8, 0x7E, ThirdByte::Fixed, 0, false},
    {6, "Panel47", "     DTS", "DTS", 7, 7, 0x1E, ThirdByte::BitRate, 192, true},
    {7, "Panel48", "     DTS HD", "DTSHD", 11, 8, 0x7E, ThirdByte::Fixed, 1, false},
    {8, "Panel49", "     AAC LC", "AAC", 6, 6, 0x06, ThirdByte::BitRate, 60, true},
    {9, "Panel50", "     One Bit Audio", "OBA", 9, 6, 0x02, ThirdByte::Fixed, 0, false},
}};

inline constexpr std::uint8_t kLpcmCode = 1;
inline constexpr std::uint8_t kLpcmTwoChannels = 0x09; // the "Basic" descriptor's first byte

// Names of a panel's controls (the panel is known by its formatBox); no bit-rate edit: "".
const std::string& AudioFormatBoxName(const AudioPanel& panel);   // "CheckBox_AudioFormat_3"
const std::string& AudioDetailName(const AudioPanel& panel);      // "CheckBox_AudDetial_AC3"
const std::string& AudioMaxChannelsName(const AudioPanel& panel); // "Edit_AudioAC3_MaxCh"
const std::string& AudioBitRateName(const AudioPanel& panel);     // "Edit_AudioAC3_BitRate"
const std::string& AudioRateName(const AudioPanel& panel, int k); // "CheckBox_AudioAC3_Freq_k"

// The folding panels: an audio panel is open while its detail box is ticked, the HDR panel
// (Panel31) while CheckBox_HDR_Detial is.
inline constexpr std::string_view kHdrPanel = "Panel31";

// ---------------------------------------------------------------------------------------------
// "Color Space"

struct FlagBox {
    int number;
    std::string_view caption;
    std::uint8_t bit;
};

// YCbCr support bits of extension byte 3; box 3 ("4:2:0") is the 4:2:0 selection, not a bit.
inline constexpr std::array<FlagBox, 3> kColorSpaces{{
    {1, "4:4:4", 0x20},
    {2, "4:2:2", 0x10},
    {3, "4:2:0", 0x00},
}};

// Deep colour bits of the HDMI block's byte 6.
inline constexpr std::array<FlagBox, 3> kColorDepths{{
    {1, "16Bit", 0x40},
    {2, "12Bit", 0x20},
    {3, "10Bit", 0x10},
}};
inline constexpr std::uint8_t kDeepColourYcbcr444 = 0x08;

// Colorimetry data block flag byte; boxes 1-3 sit on the "     BT2020" panel.
inline constexpr std::array<FlagBox, 8> kColorimetries{{
    {1, "RGB", 0x80},
    {2, "YCC", 0x40},
    {3, "cYCC", 0x20},
    {4, "AdobeRGB", 0x10},
    {5, "AdobeYCC601", 0x08},
    {6, "sYCC601", 0x04},
    {7, "xvYCC709", 0x02},
    {8, "xvYCC601", 0x01},
}};
inline constexpr std::string_view kBt2020Panel = "     BT2020";

// 4:2:0 deep colour bits (the forum block's byte 7) behind CheckBox_HDR_1..3.
inline constexpr std::array<FlagBox, 3> kHdrDeepColours{{
    {1, "16Bit", 0x04},
    {2, "12Bit", 0x02},
    {3, "10Bit", 0x01},
}};

// HDR static metadata EOTF bits.
inline constexpr std::array<FlagBox, 3> kHdrEotfs{{
    {1, "SMPTE ST 2084", 0x04},
    {2, "HDR Luminance Range", 0x02},
    {3, "SDR Luminance Range", 0x01},
}};

// Luminance code edits: maximum, frame-average, minimum.
inline constexpr std::array<std::string_view, 3> kHdrLuminanceLabels{{"Max", "Avg", "Min"}};

} // namespace tavo::creator
