// Reading text files line by line over the stream's fixed-size chunks.
#include "ps_iostream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_capture.h"

TEST(PsIStream, GetlineReturnsWholeLinesAcrossChunksAndKeepsCarriageReturns)
{
    std::string longLine = "a" + std::string(1998, 'x') + "z";
    std::string chunk(511, 'c'); // fills the stream's chunk exactly
    const struct { std::string content; std::vector<std::string> lines; } files[] = {
        {longLine + "\ndos\r\n\n" + chunk + "\nlast", {longLine, "dos\r", "", chunk, "last"}},
        {"first\n" + chunk, {"first", chunk}},
        {"a\n\n", {"a", ""}}, // an empty last line is a line, the end of the file after it is not
        {"", {}}};
    for (const auto& f : files) {
        TempFile file(f.content);
        i_stream in(file.path().c_str(), openAsIs, false);
        ASSERT_TRUE((bool)in);
        std::vector<std::string> lines;
        psString line("stale");
        while (lines.size() < 10 && in.getline(line)) lines.push_back(line.c_str());
        EXPECT_EQ(lines, f.lines);
        EXPECT_TRUE(line.empty());
        EXPECT_FALSE(in.getline(line));
    }
    i_stream missing("/nonexistent-dir/none", openAsIs, false);
    EXPECT_FALSE((bool)missing);
    psString line("stale");
    EXPECT_FALSE(missing.getline(line));
}
