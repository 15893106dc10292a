// The receive buffer, the trace and the log of a port, without devices or threads.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "TestPaths.h"
#include "faxcomm/core/PortLog.h"
#include "faxcomm/core/PortTrace.h"
#include "faxcomm/core/ReceiveBuffer.h"

using namespace qpcomm;

// 8192 buffered bytes leave head equal to tail: the full flag must make that "full", or
// a whole buffer of received data would be read as nothing.
TEST(ReceiveBufferTest, WrapsAt8192AndHeadEqualTailWithFullFlagIsFull) {
    ReceiveBuffer buffer;
    std::vector<std::uint8_t> block(5000);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_EQ(buffer.Append(block.data(), block.size()), 5000u);
    std::uint8_t byte = 0;
    for (int i = 0; i < 4000; ++i) {
        ASSERT_TRUE(buffer.Take(byte));
    }
    // The tail wraps past 8192 while filling the buffer to the brim.
    std::vector<std::uint8_t> more(8192, 0xAB);
    EXPECT_EQ(buffer.Append(more.data(), more.size()), 8192u - 1000u);
    EXPECT_EQ(buffer.Head(), buffer.Tail());
    EXPECT_TRUE(buffer.IsFull());
    EXPECT_FALSE(buffer.IsEmpty());
    EXPECT_EQ(buffer.Count(), 8192u);
    EXPECT_EQ(buffer.FreeSpace(), 0u);
    EXPECT_EQ(buffer.Append(more.data(), 1), 0u);

    // Oldest first across the wrap.
    ASSERT_TRUE(buffer.Take(byte));
    EXPECT_EQ(byte, static_cast<std::uint8_t>(4000));
    EXPECT_FALSE(buffer.IsFull());
    EXPECT_EQ(buffer.Count(), 8191u);
    ASSERT_TRUE(buffer.PeekAt(999, byte));
    EXPECT_EQ(byte, 0xAB);
    EXPECT_FALSE(buffer.PeekAt(8191, byte));
    for (int i = 0; i < 8191; ++i) {
        ASSERT_TRUE(buffer.Take(byte));
    }
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_FALSE(buffer.Take(byte));
}

// The trace dump is read by people and support tools: headings per change of direction,
// printable bytes as themselves, the rest in brackets, hexadecimal or decimal.
TEST(PortTraceTest, DumpFormatsInHexAndDecimal) {
    PortTrace trace(100);
    const std::string command = "AT Z\r";
    trace.Add('T', reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
    const std::string answer = "\r\nOK\r\n";
    trace.Add('R', reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size());
    trace.Add('X', 0x7F);

    EXPECT_EQ(trace.DumpText(true), "\nTransmit: AT[20]Z[0D]\n"
                                    "\nReceive: [0D][0A]OK[0D][0A]\n"
                                    "\nSpecial-X: [7F]\n");
    EXPECT_EQ(trace.DumpText(false), "\nTransmit: AT Z[13]\n"
                                     "\nReceive: [13][10]OK[13][10]\n"
                                     "\nSpecial-X: [127]\n");
}

TEST(PortTraceTest, KeepsOnlyTheNewestEntriesAndHonoursPause) {
    PortTrace trace(4);
    for (std::uint8_t byte : {'a', 'b', 'c', 'd', 'e', 'f'}) {
        trace.Add('R', byte);
    }
    trace.SetPaused(true);
    trace.Add('R', 'z');
    EXPECT_EQ(trace.DumpText(true), "\nReceive: cdef\n");
    EXPECT_EQ(PortTrace(1000000).Size(), 32760u);
}

TEST(PortTraceTest, DumpAppendsOrReplacesTheFile) {
    qptest::ScratchDir dir("trace");
    const std::string path = dir.file("QPX.TRC");
    PortTrace trace(10);
    trace.Add('T', 'A');
    ASSERT_TRUE(trace.DumpToFile(path, false, true));
    ASSERT_TRUE(trace.DumpToFile(path, true, true));
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "\nTransmit: A\n\nTransmit: A\n");
    EXPECT_FALSE(trace.DumpToFile(dir.file("missing/QPX.TRC"), false, true));
}

TEST(PortLogTest, DumpHasHeaderAndOneLinePerEntry) {
    PortLog log(2);
    log.Add(ltUser, lsDTR, 1);
    const std::string block = "ATZ\r";
    log.AddBlock(ltDevice, lsWrite, reinterpret_cast<const std::uint8_t*>(block.data()),
                 block.size());
    log.Add(ltTrigger, lsTimer, 2, 0);
    const std::string text = log.DumpText(true);
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) {
        all.push_back(line);
    }
    ASSERT_EQ(all.size(), 4u); // header, rule, and the two newest entries
    EXPECT_EQ(all[0], "Time      Type      SubType       Data  OtherData");
    EXPECT_EQ(all[1], "----      ----      -------       ----  ---------");
    EXPECT_EQ(all[2].substr(10), "Device    Write            4  ATZ[0D]");
    EXPECT_EQ(all[3].substr(10), "Trigger   Timer            2  0");
}

// The log shares the trace's circle: it is clamped, pauses, and an entry that takes over
// the place of a written block keeps nothing of the block's bytes.
TEST(PortLogTest, PausesAndOverwritesBlocksCleanly) {
    EXPECT_EQ(PortLog(1000000).Size(), 65520u);
    EXPECT_EQ(PortLog(0).Size(), 1u);
    PortLog log(1);
    const std::string block = "ATZ\r";
    log.AddBlock(ltDevice, lsWrite, reinterpret_cast<const std::uint8_t*>(block.data()),
                 block.size());
    log.Add(ltDevice, lsWrite, 7);
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entries()[0].bytes, "");
    EXPECT_EQ(log.Entries()[0].data, 7u);
    log.SetPaused(true);
    log.AddBlock(ltDevice, lsWrite, reinterpret_cast<const std::uint8_t*>(block.data()),
                 block.size());
    log.Add(ltUser, lsDTR, 1);
    EXPECT_EQ(log.Entries()[0].data, 7u);
    log.SetPaused(false);
    log.Clear();
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(log.DumpText(true), "Time      Type      SubType       Data  OtherData\n"
                                  "----      ----      -------       ----  ---------\n");
}
