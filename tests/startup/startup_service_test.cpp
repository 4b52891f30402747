#include "startup/startup_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel::startup {
namespace {

using platform::LoginItemError;
using platform::LoginItemStatus;
using ::testing::ElementsAre;
using ::testing::Return;

class MockLoginItems : public platform::LoginItems {
 public:
  MOCK_METHOD(LoginItemStatus, status, (), (const, override));
  MOCK_METHOD(std::optional<LoginItemError>, registerItem, (), (override));
  MOCK_METHOD(std::optional<LoginItemError>, unregisterItem, (), (override));
};

class RecordingLog : public LogSink {
 public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

TEST(StartupService, TheFlagPicksTheChangeAndTheFreshStatusIsReturned) {
  for (const std::int32_t flag : {0, 1, 7, -1}) {
    MockLoginItems items;
    RecordingLog log;
    EXPECT_CALL(items, registerItem())
        .Times(flag != 0 ? 1 : 0)
        .WillRepeatedly(Return(std::nullopt));
    EXPECT_CALL(items, unregisterItem())
        .Times(flag == 0 ? 1 : 0)
        .WillRepeatedly(Return(std::nullopt));
    // A registration that awaits approval reads 2, not 1.
    EXPECT_CALL(items, status()).WillOnce(Return(LoginItemStatus::kRequiresApproval));
    EXPECT_EQ(StartupService(items, log).startupSet(flag), 2) << flag;
    EXPECT_TRUE(log.lines.empty());
  }
}

TEST(StartupService, AFailedChangeLogsOneLineAndReturnsMinusOne) {
  MockLoginItems items;
  RecordingLog log;
  EXPECT_CALL(items, unregisterItem()).WillOnce(Return(LoginItemError{"cannot remove /x: EIO"}));
  EXPECT_CALL(items, status()).Times(0);
  EXPECT_EQ(StartupService(items, log).startupSet(0), -1);
  EXPECT_THAT(log.lines, ElementsAre("Orvel startup: cannot remove /x: EIO"));

  EXPECT_CALL(items, registerItem())
      .WillOnce(Return(LoginItemError{"cannot write /a\nfake line\r\x1b[2J/\x7f\xc3\xa9: EIO"}));
  EXPECT_EQ(StartupService(items, log).startupSet(1), -1);
  EXPECT_EQ(log.lines.back(),
            "Orvel startup: cannot write /a\\x0afake line\\x0d\\x1b[2J/\\x7f\xc3\xa9: EIO")
      << "one line, UTF-8 kept";
}

}  // namespace
}  // namespace orvel::startup
