// The sizes of the library's records that docs/performance.md states are those of this build:
// a record that grows or shrinks must take its figure in the notes along.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "qx/qx.h"
#include "qx/vm/operand_cache_internal.h"

TEST(PerformanceNotesTest, StatedRecordSizesAreThoseOfTheBuild) {
    std::ifstream in(QX_DOCS_DIR "/performance.md");
    const std::string notes = std::regex_replace(
        std::string(std::istreambuf_iterator<char>(in), {}), std::regex("\\s+"), " ");
    ASSERT_FALSE(notes.empty());
    const std::pair<const char*, size_t> facts[] = {
        {"an instruction is (\\d+) bytes", sizeof(sByteCode)},
        {"and a block (\\d+)\\.", sizeof(CQXInterpreter)},
        {"A variable is (\\d+) bytes", sizeof(CQXVariable)},
        {"operand cache \\((\\d+) bytes per instruction\\)", sizeof(qxcache::Entry)}};
    for (const auto& [pattern, size] : facts) {
        std::smatch stated;
        if (std::regex_search(notes, stated, std::regex(pattern))) {
            EXPECT_EQ(std::stoul(stated[1]), size) << pattern;
        }
    }
}
