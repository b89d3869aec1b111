#include <gtest/gtest.h>

#include "../../src/app/run.hpp"
#include "../../src/platform/fake/fake.hpp"

TEST(RunSequence, SmokeRunWritesPrimesUpTo100) {
  fake::Reset();
  fake::SetArguments({"p.txt", "100"});
  try {
    RunSequence();
  } catch (const fake::ProcessExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_EQ(fake::Files()["p.txt"].bytes.size(), 96u);
}
