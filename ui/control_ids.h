#pragma once
// Control ids of dialog template 102 and the about box (template 100).
#include <array>

namespace hbx::ui::ctrl {

inline constexpr int kHubCount = 1000;
inline constexpr int kButtonStart = 1001;
inline constexpr int kOverallBar = 1002;
inline constexpr int kStatusText = 1003;
inline constexpr int kSpareVersion = 1004;
inline constexpr int kVersionText = 1005;
inline constexpr int kButtonOk = 1008;
inline constexpr int kVersionCaption = 1034;
inline constexpr int kAttention = 1035;
// A static without an id of its own.
inline constexpr int kStaticNoId = -1;

// The five hub rows, in row order.
inline constexpr int kHubRows = 5;
inline constexpr std::array<int, kHubRows> kHubLabels = {1015, 1016, 1022, 1026, 1030};
inline constexpr std::array<int, kHubRows> kHubSpeeds = {1017, 1020, 1024, 1028, 1032};
inline constexpr std::array<int, kHubRows> kHubVersions = {1018, 1021, 1025, 1029, 1033};
inline constexpr std::array<int, kHubRows> kHubBars = {1014, 1019, 1023, 1027, 1031};

// About box.
inline constexpr int kAboutOk = 1;
inline constexpr int kAboutIcon = 2000;
inline constexpr int kAboutTitle = 2001;
inline constexpr int kAboutSecondLine = 2002;

}  // namespace hbx::ui::ctrl
