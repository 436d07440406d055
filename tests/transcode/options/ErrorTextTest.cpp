#include <gtest/gtest.h>

#include <cerrno>

#include "components/FFAPI.h"
#include "transcode/common/FFErrorText.h"

namespace {

struct TErrorCase {
  int code;
  const char *text;
};

class FFErrorTextTest : public testing::TestWithParam<TErrorCase> {};

TEST_P(FFErrorTextTest, GivesTheTableText) {
  EXPECT_EQ(FFErrorText(GetParam().code), GetParam().text);
}

// C errors are looked up by name, so Linux numbers (ETIMEDOUT 110, EHOSTUNREACH 113) give the
// text of their error, not of the number another C library uses.
INSTANTIATE_TEST_SUITE_P(
    Codes, FFErrorTextTest,
    testing::Values(
        TErrorCase{AVERROR_EOF, "End of file"},
        TErrorCase{AVERROR_OPTION_NOT_FOUND, "Option not found"},
        TErrorCase{AVERROR_EXPERIMENTAL, "Requested feature is flagged experimental. Set "
                                         "strict_std_compliance if you really want to use it."},
        TErrorCase{AVERROR_HTTP_NOT_FOUND, "Server returned 404 Not Found"},
        TErrorCase{AVERROR(ENOENT), "No such file or directory"},
        TErrorCase{AVERROR(EAGAIN), "Resource temporarily unavailable / Try again"},
        TErrorCase{AVERROR(ENOMEM), "Not enough space / Out of memory"},
        TErrorCase{AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
        TErrorCase{AVERROR(ETIMEDOUT), "Connection timed out"},
        TErrorCase{AVERROR(ECONNREFUSED), "Connection refused"},
        TErrorCase{AVERROR(EADDRINUSE), "Address already in use"},
        TErrorCase{AVERROR(EHOSTUNREACH), "No route to host"},
        // Writing to an immutable file, over a quota, into a running program's file.
        TErrorCase{AVERROR(EPERM), "Operation not permitted"},
        TErrorCase{AVERROR(EDQUOT), "Disk quota exceeded"},
        TErrorCase{AVERROR(ETXTBSY), "Text file busy"}, TErrorCase{-10060, "Connection timed out"},
        TErrorCase{-10035, "WSAEWOULDBLOCK"}, TErrorCase{-11001, "WSAHOST_NOT_FOUND"},
        TErrorCase{-10112, "WSAEREFUSED"}, TErrorCase{-99999, "Error number -99999 occurred"},
        TErrorCase{0, "Error number 0 occurred"}));

TEST(FFErrorText, PrefixIsJoinedWithColon) {
  EXPECT_EQ(FFErrorText("in.mp4", AVERROR(ENOENT)), "in.mp4: No such file or directory");
  EXPECT_EQ(FFErrorText("", AVERROR_EOF), "End of file");
}

} // namespace
