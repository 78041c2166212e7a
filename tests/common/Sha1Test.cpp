#include "common/Sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Pattern(std::size_t n) {
  std::vector<unsigned char> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 7 + 3);
  return v;
}

std::string Hex(const unsigned char* d) {
  std::string s;
  char b[3];
  for (int i = 0; i < 20; ++i) {
    std::snprintf(b, sizeof b, "%02x", d[i]);
    s += b;
  }
  return s;
}

// Each input hashed in pieces of the given size (0: one call).
std::string Digest(const std::vector<unsigned char>& in, std::size_t piece) {
  Crypt::CSha1 sha;
  sha.Reset();
  if (piece == 0) piece = in.size() + 1;
  for (std::size_t i = 0; i < in.size(); i += piece)
    sha.Update(in.data() + i, std::min(piece, in.size() - i));
  sha.Final();
  unsigned char d[20];
  sha.CopyDigest(d);
  return Hex(d);
}

struct Case {
  std::vector<unsigned char> input;
  const char* sha1sum;  // what sha1sum prints for the same bytes
};

TEST(Sha1, AgreesWithSha1sumForAnySplitOfTheInput) {
  const std::string abc = "abc";
  const Case cases[] = {
      {{}, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {{abc.begin(), abc.end()}, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {Pattern(55), "ddf57317ef34bfee3b6df83d359098930eb278bc"},
      {Pattern(56), "a0d492bb0fc889d0eca3bc137066ab6f4f74f369"},
      {Pattern(63), "c55856749bef509bdfe6bfebfc7bf4e793e82132"},
      {Pattern(64), "bede92be29c3874e1b54ddc77988d606fc857a8e"},
      {Pattern(65), "b05a80522b053d6dc7e0a517d0e70212c7dad11f"},
      {Pattern(119), "504e27376a6e0f0dba8295b85cb25dc4dfa17d23"},
      {Pattern(120), "82134b02fb3f702491be9bed581eeab59334acb2"},
      {Pattern(1000000), "7fda63b11f96ee5ed7d49943c7146b22ee404ea3"},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {0u, 1u, 7u, 63u, 64u, 65u, 4096u}) {
      EXPECT_EQ(c.sha1sum, Digest(c.input, piece)) << c.input.size() << " bytes in pieces of " << piece;
    }
  }
}

TEST(Sha1, ResetStartsAFreshDigest) {
  Crypt::CSha1 sha;
  const unsigned char junk[3] = {1, 2, 3};
  sha.Update(junk, 3);
  sha.Reset();
  sha.Final();
  unsigned char d[20];
  sha.CopyDigest(d);
  EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Hex(d));
}

}  // namespace
