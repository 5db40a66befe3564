/* The channel calls on decode-only streams: pulling data (whole frames, the
 * end marker, float requests), length, position check-then-change,
 * information, tags and byte/second conversion, through the plug-in double. */
#include <gtest/gtest.h>

#include <cmath>

#include "host_test_support.h"

namespace {
constexpr uint32_t kRate = 8000;
constexpr uint16_t kChans = 2;
constexpr size_t kFrames = 100;

class HostChannel : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(BASS_PluginLoad(FAKE_PLUGIN_A, 0), 0u);
    samples = CountingSamples(kFrames * kChans);
    bytes = FakeFile("FAKE", kRate, kChans, samples);
    file = std::make_unique<TempFile>(bytes);
  }
  void TearDown() override {
    if (stream) BASS_StreamFree(stream);
    BASS_PluginFree(0);
  }
  HostStream Open(uint32_t flags = 0) {
    stream = BASS_StreamCreateFile(0, file->path(), 0, 0, flags);
    EXPECT_NE(stream, 0u) << BASS_ErrorGetCode();
    return stream;
  }
  /* The file's sample bytes from `offset`. */
  Bytes Expected(size_t offset, size_t count) const {
    return Bytes(bytes.begin() + 10 + offset, bytes.begin() + 10 + offset + count);
  }

  std::vector<int16_t> samples;
  Bytes bytes;
  std::unique_ptr<TempFile> file;
  HostStream stream = 0;
};

TEST_F(HostChannel, GetDataDeliversTheWholeStreamThenEnds) {
  Open();
  Bytes out(1000, 0xEE);
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), 1000), 400u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 400), Expected(0, 400));
  EXPECT_EQ(out[400], 0xEE) << "wrote past what it returned";
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), 1000), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_ENDED);
  EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 400u);
}

TEST_F(HostChannel, RequestsAreCutToWholeFrames) {
  Open();
  uint8_t out[8] = {};
  EXPECT_EQ(BASS_ChannelGetData(stream, out, 7), 4u);
  EXPECT_EQ(BASS_ChannelGetData(stream, out, 3), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
  EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 4u);
}

TEST_F(HostChannel, FloatRequestOnAnIntegerStreamConvertsEachSample) {
  Open();
  std::vector<float> out(kFrames * kChans);
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), uint32_t(out.size() * 4) | BASS_DATA_FLOAT),
            out.size() * 4);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], float(samples[i]) / 32768.0f) << i;
}

TEST_F(HostChannel, FloatStreamCountsFourBytesPerSample) {
  Open(BASS_SAMPLE_FLOAT);
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 800u);
  std::vector<float> out(kFrames * kChans);
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), uint32_t(out.size() * 4)), 800u);
  EXPECT_EQ(out[5], float(samples[5]) / 32768.0f);
  EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stream, 800), double(kFrames) / kRate);
}

TEST_F(HostChannel, LengthComesFromThePluginWithItsCode) {
  Open();
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 400u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
  EXPECT_EQ(BASS_ChannelGetLength(stream, 1), UINT64_MAX);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
}

TEST_F(HostChannel, SetPositionChecksThenChanges) {
  Open();
  uint8_t out[8] = {};
  ASSERT_TRUE(BASS_ChannelSetPosition(stream, 396, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 396u);
  EXPECT_EQ(BASS_ChannelGetData(stream, out, 8), 4u);
  EXPECT_EQ(Bytes(out, out + 4), Expected(396, 4));
  EXPECT_FALSE(BASS_ChannelSetPosition(stream, 400, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_POSITION);
  EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 400u) << "a refused seek moved";
}

TEST_F(HostChannel, SetPositionRestartsAnEndedStream) {
  Open();
  Bytes out(400);
  BASS_ChannelGetData(stream, out.data(), 400);
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), 400), 0xFFFFFFFFu);
  ASSERT_TRUE(BASS_ChannelSetPosition(stream, 100, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetData(stream, out.data(), 400), 300u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 300), Expected(100, 300));
}

TEST_F(HostChannel, InfoHasTheHostsFieldsCompletedByThePlugin) {
  Open(0x80000000u);
  HostChannelInfo info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_EQ(info.freq, kRate);
  EXPECT_EQ(info.chans, kChans);
  EXPECT_EQ(info.flags, BASS_STREAM_DECODE);
  EXPECT_EQ(info.ctype, 0x12345u);
  EXPECT_EQ(info.origres, 16u);
  EXPECT_STREQ(info.filename, file->path());
  EXPECT_FALSE(BASS_ChannelGetInfo(stream, nullptr));
}

TEST_F(HostChannel, TagsComeFromThePluginOrAreNotAvailable) {
  Open();
  EXPECT_STREQ(BASS_ChannelGetTags(stream, HOST_TAG_APE), "fake-tag");
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
  EXPECT_EQ(BASS_ChannelGetTags(stream, HOST_TAG_ID3), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
}

TEST_F(HostChannel, BadHandlesGiveTheHandleError) {
  uint8_t out[4];
  HostChannelInfo info{};
  EXPECT_EQ(BASS_ChannelGetData(777, out, 4), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_HANDLE);
  EXPECT_FALSE(BASS_ChannelGetInfo(777, &info));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_HANDLE);
  EXPECT_LT(BASS_ChannelBytes2Seconds(777, 4), 0.0);
  EXPECT_FALSE(BASS_ChannelSetPosition(777, 0, 0));
  EXPECT_EQ(BASS_ChannelGetTags(777, 0), nullptr);
}

/* ---- every way of opening gives the same bytes ---- */

struct MemoryUser {
  const Bytes *bytes;
  uint64_t position;
};
void VARDEK_CALL MemClose(void *) {}
uint64_t VARDEK_CALL MemLength(void *u) { return static_cast<MemoryUser *>(u)->bytes->size(); }
uint32_t VARDEK_CALL MemRead(void *buffer, uint32_t length, void *u) {
  auto *m = static_cast<MemoryUser *>(u);
  uint32_t n = uint32_t(std::min<uint64_t>(length, m->bytes->size() - m->position));
  std::memcpy(buffer, m->bytes->data() + m->position, n);
  m->position += n;
  return n;
}
HostBool VARDEK_CALL MemSeek(uint64_t offset, void *u) {
  auto *m = static_cast<MemoryUser *>(u);
  if (offset > m->bytes->size()) return 0;
  m->position = offset;
  return 1;
}

TEST_F(HostChannel, FileMemoryAndUserOpensGiveTheSameBytes) {
  Bytes padded = Ramp(33);
  padded.insert(padded.end(), bytes.begin(), bytes.end());
  padded.push_back(0x55); /* outside the region: must never be read */
  MemoryUser user{&bytes, 0};
  const HostFileProcs procs = {MemClose, MemLength, MemRead, MemSeek};
  const HostStream streams[] = {
      BASS_StreamCreateFile(0, file->path(), 0, 0, 0),
      BASS_StreamCreateFile(1, padded.data(), 33, bytes.size(), 0),
      BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &procs, &user),
  };
  for (HostStream s : streams) {
    ASSERT_NE(s, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(s, 0), 400u);
    Bytes out(500);
    EXPECT_EQ(BASS_ChannelGetData(s, out.data(), 500), 400u);
    out.resize(400);
    EXPECT_EQ(out, Expected(0, 400));
    BASS_StreamFree(s);
  }
}

/* ---- a stream made straight through CreateStream ---- */

uint32_t VARDEK_CALL LastWithMarker(HostStream, void *buffer, uint32_t length, void *) {
  std::memset(buffer, 0x11, 4);
  return HOST_STREAM_END | 4; /* a last block carried with the marker */
}

TEST(HostBareStream, MarkerMayCarryALastBlockAndMissingSlotsAreNotAvailable) {
  HostStream stream = _.CreateStream(1000, 1, 0, LastWithMarker, nullptr, nullptr);
  uint8_t out[16] = {};
  EXPECT_EQ(BASS_ChannelGetData(stream, out, 16), 4u);
  EXPECT_EQ(out[3], 0x11);
  EXPECT_EQ(BASS_ChannelGetData(stream, out, 16), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ChannelGetLength(stream, 0), UINT64_MAX);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
  EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0, 0));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_ChannelGetTags(stream, 0), nullptr);
  EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST(HostBareStream, CreateStreamRefusesNonsense) {
  EXPECT_EQ(_.CreateStream(0, 2, 0, LastWithMarker, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_ILLPARAM);
  EXPECT_EQ(_.CreateStream(44100, 0, 0, LastWithMarker, nullptr, nullptr), 0u);
  EXPECT_EQ(_.CreateStream(44100, 2, 0, nullptr, nullptr, nullptr), 0u);
}
}  // namespace
