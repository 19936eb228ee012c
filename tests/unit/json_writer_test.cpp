// The command line's JSON writer: separators by each container's spacing, nesting, and the one
// escaping of strings, keys and Latin-1 text.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>

#include "edid/JsonWriter.h"

using namespace tavo;

TEST(JsonWriter, NestsWithEachContainersSpacing) {
    struct Case {
        const char* what;
        std::function<void(JsonWriter&)> write;
        std::string want;
    };
    const Case cases[] = {
        {"empty containers",
         [](JsonWriter& w) {
             w.BeginObject().Key("a").BeginArray().EndArray().Key("o").BeginObject().EndObject();
             w.EndObject();
         },
         R"({"a": [], "o": {}})"},
        {"a tight object inside a spaced one, its own arrays tight too",
         [](JsonWriter& w) {
             w.BeginObject().Key("n").BeginArray().Number(1).Number(-2).EndArray();
             w.Key("in").BeginObject(JsonSpacing::Tight).Key("x").Null();
             w.Key("y").BeginArray().Bool(true).Bool(false).EndArray().EndObject();
             w.Member("after", "z").EndObject();
         },
         R"({"n": [1, -2], "in": {"x":null,"y":[true,false]}, "after": "z"})"},
        {"arrays of objects",
         [](JsonWriter& w) {
             w.BeginArray();
             for (int i = 0; i < 3; ++i)
                 w.BeginObject().MemberNumber("i", i).EndObject();
             w.EndArray();
         },
         R"([{"i": 0}, {"i": 1}, {"i": 2}])"},
        {"whole-number extremes",
         [](JsonWriter& w) {
             w.BeginArray()
                 .Number(std::numeric_limits<std::int64_t>::min())
                 .Number(std::numeric_limits<std::int64_t>::max())
                 .EndArray();
         },
         "[-9223372036854775808, 9223372036854775807]"},
    };
    for (const Case& c : cases) {
        JsonWriter spaced(JsonSpacing::Spaced);
        c.write(spaced);
        EXPECT_EQ(spaced.Text(), c.want) << c.what;
    }
    JsonWriter tight(JsonSpacing::Tight);
    tight.BeginObject().Member("a", "b").Key("c").BeginArray().Number(1).Number(2).EndArray();
    EXPECT_EQ(tight.EndObject().Text(), R"({"a":"b","c":[1,2]})");
}

TEST(JsonWriter, EscapesControlsAndKeepsTextReadable) {
    struct Case {
        std::string in;
        bool latin1;
        std::string want;
    };
    const Case cases[] = {
        // line breaks, tabs and the escape character are escaped by number, like every control
        {"a\nb\tc\x1b[2J", false, R"("a\u000ab\u0009c\u001b[2J")"},
        {"q\"\\", false, R"("q\"\\")"},
        // UTF-8 letters stay; a stray byte is read as its Latin-1 character
        {"\xc3\x89"
         "cran \xe9",
         false,
         "\"\xc3\x89"
         "cran \\u00e9\""},
        // a C1 control and a direction override written in UTF-8
        {"\xc2\x85\xe2\x80\xae", false, R"("\u0085\u202e")"},
        // Latin-1: letters become UTF-8, the C1 range and DEL controls
        {"Salle \xe9t\xe9\x7f\x9b", true, "\"Salle \xc3\xa9t\xc3\xa9\\u007f\\u009b\""},
        {std::string("\0z", 2), true, R"("\u0000z")"},
    };
    for (const Case& c : cases) {
        JsonWriter w;
        if (c.latin1)
            w.Latin1(c.in);
        else
            w.String(c.in);
        EXPECT_EQ(w.Text(), c.want) << c.in;
    }
    // a key is escaped as a value is
    JsonWriter keyed(JsonSpacing::Tight);
    keyed.BeginObject().Key("k\x01\"").Number(1).EndObject();
    EXPECT_EQ(keyed.Text(), R"({"k\u0001\"":1})");
}
