/* The DecoderIo bridge, called the way the decoder library calls it: through
 * the record and user value it was given at creation. */
#include "core_fixture.h"

namespace {

class DecoderIoBridge : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Bytes bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i);
    OpenFile(bytes);
    SetFormat(16, 2, 10);
    ASSERT_NE(Create(0), 0u);
    DecoderDoubleCreation creation{};
    ASSERT_TRUE(DecoderDouble_LastCreation(&creation));
    io_ = creation.io;
    user_ = creation.ioUser;
  }
  const DecoderIo *io_ = nullptr;
  void *user_ = nullptr;
};

TEST_F(DecoderIoBridge, AnswersCapabilitiesByUserValue) {
  EXPECT_TRUE(io_->canRead(user_));
  EXPECT_FALSE(io_->canRead(nullptr));
  EXPECT_TRUE(io_->canSeek(user_));
  EXPECT_FALSE(io_->canSeek(nullptr));
  EXPECT_FALSE(io_->canWrite(user_));
  int32_t written = -1;
  EXPECT_FALSE(io_->write(user_, "x", 1, &written));
  EXPECT_FALSE(io_->flush(user_));
  EXPECT_FALSE(io_->truncate(user_));
}

TEST_F(DecoderIoBridge, ReadsAtTheHostFilesCurrentPosition) {
  ASSERT_TRUE(io_->seek(user_, 4));
  uint8_t buffer[8] = {};
  int32_t got = -1;
  ASSERT_TRUE(io_->read(user_, buffer, 8, &got));
  EXPECT_EQ(got, 8);
  const uint8_t expected[8] = {4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(0, memcmp(buffer, expected, 8));
  HostDoubleCall call{};
  HostDouble_LastCall(HD_FILE_READ, &call);
  EXPECT_EQ(call.args[0], file_);
  EXPECT_EQ(call.args[2], 8u);
}

TEST_F(DecoderIoBridge, ReadAtTheEndGivesZeroBytesAndTrue) {
  ASSERT_TRUE(io_->seek(user_, 64));
  uint8_t buffer[4];
  int32_t got = -1;
  EXPECT_TRUE(io_->read(user_, buffer, 4, &got));
  EXPECT_EQ(got, 0);
}

TEST_F(DecoderIoBridge, NullUserFailsWithoutTouchingTheHost) {
  const uint32_t before = HostDouble_CallTotal();
  uint8_t buffer[4];
  int32_t got = -1;
  int64_t length = -1;
  EXPECT_FALSE(io_->read(nullptr, buffer, 4, &got));
  EXPECT_FALSE(io_->seek(nullptr, 0));
  EXPECT_FALSE(io_->getLength(nullptr, &length));
  EXPECT_EQ(HostDouble_CallTotal(), before);
}

TEST_F(DecoderIoBridge, SeekForwardsAll64BitsAndIgnoresTheHostsAnswer) {
  const int64_t beyond4GiB = 0x123456789LL;
  EXPECT_TRUE(io_->seek(user_, beyond4GiB)); /* the host refuses: past the end */
  HostDoubleCall call{};
  ASSERT_TRUE(HostDouble_LastCall(HD_FILE_SEEK, &call));
  EXPECT_EQ(call.args[0], file_);
  EXPECT_EQ(call.args[1], 0x123456789ULL);
}

TEST_F(DecoderIoBridge, LengthIsTheWholeFile) {
  int64_t length = -1;
  EXPECT_TRUE(io_->getLength(user_, &length));
  EXPECT_EQ(length, 64);
  HostDoubleCall call{};
  HostDouble_LastCall(HD_FILE_POSITION, &call);
  EXPECT_EQ(call.args[1], uint64_t(HOST_FILEPOS_END));
}

}  // namespace
