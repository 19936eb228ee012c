#pragma once
// Getting an EDID onto the creator page: Open (a file's image), New (the built-in template) and
// Open from the analyzer all end in ShowInCreator, which decodes the image into the creator's
// record and sets every control from it. Controls are set through ChangeText/ChangeCheck, so the
// rules and interlocks run as they do for the operator's input.
#include <cstdint>
#include <string>

#include "edid/EdidRecord.h"
#include "workspace/creator/CreatorPage.h"

namespace tavo::creator {

struct CalendarDate {
    int year;
    int month; // 1..12
    int day;   // 1..31
};

// Today's local date.
CalendarDate Today();
// ISO 8601 week number (1..53) of the date; the first days of January can belong to week 52 or
// 53 of the previous year, the last days of December to week 1.
int IsoWeek(const CalendarDate& date);

// Decodes `image` into the record (bits 7 and 8 of its status word are kept) and sets the page.
// An invalid image gives the reset page ("Error." names, zeros, everything cleared). `today`
// gives the year and week a New EDID (status bit 7) shows.
void ShowInCreator(EdidRecord& record, CreatorPage& page, const EdidImage& image,
                   const CalendarDate& today);

// The three ways in: Open clears bit 7 and sets bit 8; New sets both; Open from the analyzer
// does nothing (false) when the analysed EDID has a validation error, otherwise it clears bit 7,
// sets bit 8 and shows the transfer record's image.
void OpenImage(EdidRecord& record, CreatorPage& page, const EdidImage& image,
               const CalendarDate& today);
void OpenNew(EdidRecord& record, CreatorPage& page, const CalendarDate& today);
bool OpenFromAnalyzer(EdidRecord& record, CreatorPage& page, const EdidRecord& transfer,
                      const CalendarDate& today);

// The right-aligned number texts the loader writes.
std::string LuminanceText(unsigned code);           // five characters: "    7", "  123"
std::string BitRateText(unsigned kbits);            // " 1536", "  640"
std::string SerialNumberText(std::uint32_t serial); // signed 32-bit: FF FF FF FF shows as "-1"

} // namespace tavo::creator
