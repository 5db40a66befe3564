/* The shared library itself, as the plug-in links it: a written file decodes
 * through the exported operations to the writer's PCM. */
#include <gtest/gtest.h>

#include "decoder_fixture.h"

namespace {

TEST(SharedLibrary, DecodesAWrittenFile) {
  const TakImage image = MakeTak("seconds=1,channels=2,bits=16");
  OpenDecoder open(image.file);
  ASSERT_EQ(tak_SSD_Valid(open.decoder), 1);
  EXPECT_EQ(open.Info().frames, int64_t(image.stats.samples));
  EXPECT_TRUE(open.ReadAll() == image.pcm);
}

}  // namespace
