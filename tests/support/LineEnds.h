#pragma once

#include <QByteArray>

#include <gtest/gtest.h>

#include <string>

namespace corvane::test {

// The line ends of payment downloads: CR LF, as the processor writes them, and LF. Tests that read
// a download run on both (INSTANTIATE_TEST_SUITE_P(..., kLineEnds, lineEndName)).
enum class LineEnd { CrLf, Lf };
inline const auto kLineEnds = ::testing::Values(LineEnd::CrLf, LineEnd::Lf);

// A text written with LF ends, with every LF made the given line end.
inline QByteArray withLineEnd(QByteArray lfText, LineEnd end) {
    return end == LineEnd::CrLf ? lfText.replace("\n", "\r\n") : lfText;
}

inline std::string lineEndName(const ::testing::TestParamInfo<LineEnd>& info) {
    return info.param == LineEnd::CrLf ? "CrLf" : "Lf";
}

}  // namespace corvane::test
