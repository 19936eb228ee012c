#include "VisibleOutput.h"

#include <iostream>
#include <streambuf>
#include <string>

#include "edid/VisibleText.h"

namespace tavo::cli {
namespace {

class VisibleBuffer : public std::streambuf {
public:
    explicit VisibleBuffer(std::streambuf* to) : to_(to) {}
    std::streambuf* target() const { return to_; }
    void flushPending() { emit(); }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_.push_back(traits_type::to_char_type(c));
        if (c == '\n') emit();
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        if (pending_.find('\n') != std::string::npos) emit();
        return n;
    }
    int sync() override {
        emit();
        return to_->pubsync();
    }

private:
    // everything pending, each run between line breaks and tabs made visible
    void emit() {
        std::string out;
        std::size_t from = 0;
        for (std::size_t at = 0; at <= pending_.size(); ++at) {
            if (at < pending_.size() && pending_[at] != '\n' && pending_[at] != '\t') continue;
            out += VisibleText(std::string_view(pending_).substr(from, at - from));
            if (at < pending_.size()) out.push_back(pending_[at]);
            from = at + 1;
        }
        pending_.clear();
        to_->sputn(out.data(), static_cast<std::streamsize>(out.size()));
    }

    std::streambuf* to_;
    std::string pending_;
};

VisibleBuffer* outBuffer = nullptr;
VisibleBuffer* errBuffer = nullptr;

} // namespace

void GuardStandardStreams() {
    if (outBuffer != nullptr) return;
    // never freed: the streams use them until the program's very end
    outBuffer = new VisibleBuffer(std::cout.rdbuf());
    errBuffer = new VisibleBuffer(std::cerr.rdbuf());
    std::cout.rdbuf(outBuffer);
    std::cerr.rdbuf(errBuffer);
}

void WriteRaw(std::ostream& out, std::string_view text) {
    VisibleBuffer* guard = dynamic_cast<VisibleBuffer*>(out.rdbuf());
    if (guard == nullptr) {
        out << text;
        return;
    }
    guard->flushPending();
    guard->target()->sputn(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace tavo::cli
