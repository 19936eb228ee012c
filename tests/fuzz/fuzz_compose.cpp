// Compose two or three images cut from the input (repaired to pass validation; a missing one is
// a copy of the first): a built result validates, every claim it makes is held by every source
// (the audio claims by the source the audio comes from), and, read the block map's way rather
// than compose's own, every data block, video code, audio format and detailed timing of the
// result is one every source has (its DisplayID timings read by the walk of its blocks).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>

#include "edid/BlockMap.h"
#include "edid/Decoder.h"
#include "edid/DisplayIdTimings.h"
#include "edid/VideoFormats.h"
#include "fuzz_common.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/compose/Compose.h"

using namespace tavo;

namespace {

// fuzz::Check, naming the check that failed
#define Expect(condition)                                                                          \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz_compose: line %d: %s\n", __LINE__, #condition);             \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

std::string Field(const std::vector<PartField>& fields, const std::string& name) {
    for (const PartField& f : fields)
        if (f.name == name) return f.value;
    return {};
}

std::vector<int> Codes(const std::string& list) {
    std::vector<int> out;
    std::istringstream in(list);
    std::string word;
    while (in >> word)
        if (word != "none") out.push_back(std::atoi(word.c_str())); // "16*": 16
    return out;
}

// A detailed timing as the hex view shows it: its sizes, blanking, porches and sync flags (not
// the image size nor the stereo bits), and its pixel clock.
struct TimingView {
    std::string key;
    int clockKhz = 0;
    bool Same(const TimingView& o) const {
        return key == o.key && std::abs(clockKhz - o.clockKhz) < 10;
    }
};

TimingView View(const std::uint8_t* bytes) {
    EdidImage img{};
    std::copy(bytes, bytes + kDetailedTimingSize, img.begin() + 54);
    img[71] &= 0x9E;
    BlockPart part;
    part.offset = 54;
    part.length = kDetailedTimingSize;
    part.kind = PartKind::DetailedTiming;
    TimingView v;
    for (const PartField& f : PartFields(img, part)) {
        if (f.name == "pixel clock")
            v.clockKhz = static_cast<int>(std::atof(f.value.c_str()) * 1000 + 0.5);
        else if (f.name != "image size" && f.name != "refresh")
            v.key += f.value + ";";
    }
    return v;
}

// A timing of the tables as a detailed timing would show it, with its exact clock.
std::optional<TimingView> View(const VideoTiming& t) {
    const auto d = WriteDetailedTiming(t);
    if (!d) return std::nullopt;
    TimingView v = View(d->data());
    v.clockKhz = t.pixelClockKhz;
    return v;
}

VideoTiming Slower(VideoTiming t) {
    t.pixelClockKhz = static_cast<int>(t.pixelClockKhz * 1000.0 / 1001.0 + 0.5);
    return t;
}

// What the block map and the part fields find in an image.
struct Reading {
    bool cta = false;
    std::set<std::string> blocks;        // data block names
    std::set<int> vics;                  // video codes: video blocks, 4:2:0 blocks, HDMI VICs
    std::set<std::string> audio;         // "L-PCM descriptor", ...
    std::vector<TimingView> timings;     // the detailed timings
    std::set<std::string> listedFormats; // established and standard timings, "640x480@60"
};

Reading Read(const EdidImage& img) {
    Reading r;
    for (const BlockPart& part : MapBlocks(img)) {
        const auto fields = PartFields(img, part);
        switch (part.kind) {
        case PartKind::CtaHeader:
            r.cta = true;
            break;
        case PartKind::DetailedTiming:
            r.timings.push_back(View(&img[part.offset]));
            break;
        case PartKind::EstablishedTimings: {
            std::istringstream in(Field(fields, "timings"));
            std::string name;
            while (std::getline(in, name, ','))
                r.listedFormats.insert(name.substr(name.find_first_not_of(' ')));
            break;
        }
        case PartKind::StandardTimings:
            for (const PartField& f : fields)
                r.listedFormats.insert(f.value);
            break;
        case PartKind::DataBlock:
            r.blocks.insert(part.name);
            for (const std::string& name : {"video codes", "4:2:0 video codes", "HDMI VICs"})
                for (int code : Codes(Field(fields, name)))
                    r.vics.insert(name == "HDMI VICs" ? VicOfHdmiVic(code) : code);
            for (const PartField& f : fields)
                if (f.name.size() > 11 &&
                    f.name.compare(f.name.size() - 11, 11, " descriptor") == 0)
                    r.audio.insert(f.name);
            break;
        default:
            break;
        }
    }
    // the timings of a DisplayID extension, as the one walk of the blocks reads them
    if (img[126] == 0) return r;
    const std::span<const std::uint8_t> all(img.data(), kEdidSize);
    for (const DisplayIdTiming& d : ReadDisplayIdTimings(all, ReadEdidBlocks(all))) {
        switch (d.kind) {
        case DisplayIdTimingKind::Detailed:
        case DisplayIdTimingKind::Formula:
            if (const auto v = View(d.timing)) r.timings.push_back(*v);
            break;
        case DisplayIdTimingKind::Dmt:
            if (const auto t = DmtIdTiming(d.code))
                if (const auto v = View(*t)) r.timings.push_back(*v);
            break;
        case DisplayIdTimingKind::Vic:
        case DisplayIdTimingKind::Vic420:
            r.vics.insert(d.code);
            break;
        case DisplayIdTimingKind::HdmiVic:
            r.vics.insert(VicOfHdmiVic(d.code));
            break;
        }
    }
    return r;
}

std::string FormatText(const VideoFormat& f) {
    return std::to_string(f.width) + "x" + std::to_string(f.height) + "@" + std::to_string(f.rate) +
           (f.interlaced ? "i" : "");
}

// A timing as `source` lists it: a detailed timing, a video code's (either rate), or the DMT
// timing of an established or standard one.
bool ListsTiming(const Reading& source, const TimingView& timing, const VideoFormat& format) {
    auto same = [&](const std::optional<TimingView>& v) { return v && v->Same(timing); };
    if (std::any_of(source.timings.begin(), source.timings.end(),
                    [&](const TimingView& v) { return v.Same(timing); }))
        return true;
    for (int vic : source.vics)
        if (const auto t = VicTiming(vic); t && (same(View(*t)) || same(View(Slower(*t)))))
            return true;
    if (!source.listedFormats.count(FormatText(format))) return false;
    if (const auto dmt = KnownTiming(format); dmt && same(View(*dmt))) return true;
    return format == VideoFormat{1920, 1200, false, 60} && timing.clockKhz == 193250;
}

// The video code as `source` lists it: the code, another of the same timing, or that timing.
bool ListsVic(const Reading& source, int vic) {
    if (source.vics.count(vic)) return true;
    const auto t = VicTiming(vic);
    if (!t) {
        const auto f = VicFormat(vic);
        return f && std::any_of(source.vics.begin(), source.vics.end(),
                                [&](int v) { return !VicTiming(v) && VicFormat(v) == f; });
    }
    const auto v = View(*t), slow = View(Slower(*t));
    return (v && ListsTiming(source, *v, t->format)) ||
           (slow && ListsTiming(source, *slow, t->format));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int count = size > 2 * kEdidSize ? 3 : 2;
    std::vector<ComposeSource> sources;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = i * kEdidSize;
        ComposeSource s;
        s.label = "source";
        s.image = at < size
                      ? fuzz::Repaired(ImageFromBytes(data + at, std::min(kEdidSize, size - at)))
                      : sources[0].image;
        sources.push_back(s);
    }
    ComposeOptions options;
    options.audioFrom = data[size - 1] % (count + 1);
    const ComposeResult result = Compose(sources, options);
    Expect(result.outcome != ComposeOutcome::BadInput);
    if (result.outcome != ComposeOutcome::Built) return 0;
    std::uint16_t status = 0;
    Expect(ValidateImage(result.image, status));
    EdidRecord record;
    record.image = result.image;
    (void)AnalyseEdid(record);

    // compose's own claims
    std::vector<std::vector<ComposeCapability>> held;
    for (const ComposeSource& s : sources)
        held.push_back(ComposeCapabilities(s.image));
    std::vector<Reading> theirs;
    for (const ComposeSource& s : sources)
        theirs.push_back(Read(s.image));
    for (const ComposeCapability& claim : ComposeCapabilities(result.image)) {
        for (int i = 0; i < count; ++i) {
            if (claim.audio && options.audioFrom && i + 1 != options.audioFrom) continue;
            // a display without an extension takes no InfoFrame: the quantization is not its say
            if (!theirs[i].cta && claim.name.find("quantization") != std::string::npos) continue;
            const auto it = std::find_if(held[i].begin(), held[i].end(),
                                         [&](const auto& c) { return c.name == claim.name; });
            Expect(it != held[i].end() && it->level >= claim.level);
        }
    }

    // the block map's reading
    const Reading mine = Read(result.image);
    for (int i = 0; i < count; ++i) {
        const Reading& source = theirs[i];
        const bool audioHere = !options.audioFrom || options.audioFrom == i + 1;
        for (const std::string& block : mine.blocks) {
            const bool audio =
                block == "Audio Data Block" || block == "Speaker Allocation Data Block";
            if (audio && !audioHere) continue;
            if (block == "Video Capability Data Block" && !source.cta) continue;
            if (block == "HDMI Forum Vendor-Specific Data Block" &&
                source.blocks.count("HDMI Forum Sink Capability Data Block"))
                continue;
            if (block == "Video Data Block" || block.rfind("YCbCr 4:2:0", 0) == 0) continue;
            Expect(source.blocks.count(block) == 1);
        }
        for (int vic : mine.vics)
            Expect(ListsVic(source, vic));
        if (audioHere)
            for (const std::string& format : mine.audio)
                Expect(source.audio.count(format) == 1);
    }
    for (const BlockPart& part : MapBlocks(result.image))
        if (part.kind == PartKind::DetailedTiming) {
            const auto t = ReadDetailedTiming(&result.image[part.offset]);
            Expect(t.has_value());
            const TimingView v = View(&result.image[part.offset]);
            for (const Reading& source : theirs)
                Expect(ListsTiming(source, v, t->format));
        }
    return 0;
}
