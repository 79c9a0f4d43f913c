// The main window's controls by identifier, as its template (resources/MainDialog.cpp)
// numbers them: for tests that reach the window in process and for those that drive the
// running program from outside.
#pragma once

namespace corvaline::testsupport {

namespace id {
constexpr int kOk = 1; // "SAIR"
constexpr int kCancel = 2;
constexpr int kPath = 1000;
constexpr int kBrowse = 1001;
constexpr int kPlay1 = 1002;
constexpr int kStop1 = 1003;
constexpr int kProgress1 = 1004;
constexpr int kScale = 1005;
constexpr int kPan1 = 1006;
constexpr int kFullStereo1 = 1007;
constexpr int kCompressor = 1008;
constexpr int kGain = 1009;
constexpr int kFadeOut1 = 1010;
constexpr int kFadeIn1 = 1011;
constexpr int kPlay2 = 1012;
constexpr int kStop2 = 1013;
constexpr int kProgress2 = 1014;
constexpr int kPan2 = 1015;
constexpr int kFullStereo2 = 1016;
constexpr int kFadeOut2 = 1017;
constexpr int kFadeIn2 = 1018;
constexpr int kOutTo2 = 1019;
constexpr int kOutTo1 = 1020;
constexpr int kCrossFade = 1021;
constexpr int kAutoCrossfade = 1022;
constexpr int kCrossfadeMs = 1023;
constexpr int kSequence = 1024;
constexpr int kAddFile = 1025;
constexpr int kAddDirectory = 1026;
constexpr int kSubDirs = 1027;
constexpr int kRandomize = 1028;
constexpr int kExecute = 1029;
constexpr int kCancelList = 1030;
constexpr int kClear = 1032;
} // namespace id

} // namespace corvaline::testsupport
