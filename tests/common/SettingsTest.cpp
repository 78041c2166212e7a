#include "common/Settings.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <climits>

#include "common/SettingsXmlStore.h"
#include "common/Utf8.h"
#include "common/XmlFile.h"
#include "tests/common/SettingsFiles.h"
#include "tests/support/TempDir.h"
#include "tinyxml.h"

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

using SettingsFileTest = OwnSettingsFileTest;

std::wstring CommonAppData() {
  wchar_t folder[MAX_PATH];
  EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder));
  return folder;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST_F(SettingsFileTest, FirstAccessCreatesTheFileWithTheUsersSection) {
  EXPECT_EQ(CommonAppData() +
                L"\\Velmora\\SettingsFileTest_FirstAccessCreatesTheFileWithTheUsersSection.xml",
            path_);
  std::wstring s = L"unchanged";
  int i = 7;
  EXPECT_FALSE(Settings::GetString(L"Quality", s));
  EXPECT_FALSE(Settings::GetInt(L"Quality", i));
  EXPECT_EQ(L"unchanged", s);
  EXPECT_EQ(7, i);

  const std::string user = Utf8::Encode(Settings::GetUserKeyName());
  EXPECT_EQ(0u, user.rfind("S_1_5_", 0)) << user;
  EXPECT_EQ(std::string::npos, user.find('-'));
  // The template, completed and printed again by TinyXML.
  EXPECT_EQ(WithCrLf("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<metaset>\n    <global />\n    "
                     "<users>\n        <" +
                     user + " />\n    </users>\n</metaset>\n"),
            ReadBytes(path_));
}

TEST_F(SettingsFileTest, NothingIsStoredBeforeTheBackendIsSelected) {
  Settings::SetBackend(0);
  std::wstring s;
  EXPECT_FALSE(Settings::SetString(L"a", L"b", false));
  EXPECT_FALSE(Settings::GetString(L"a", s));
  EXPECT_FALSE(FileExists(path_));
}

// Every string comes back as it was stored, whatever code points it holds,
// and takes no other value with it.
TEST_F(SettingsFileTest, ValuesRoundTripThroughTheFile) {
  std::wstring controls;
  for (wchar_t c = 0; c < 32; ++c) controls += c;
  const std::wstring strings[] = {
      L"",
      L"C:\\Users\\Ann\\Music\\Rock.mp3",
      L"<a href=\"x\">&amp; 'q'</a>",
      L"  spaced  ",
      L"Caf\x00e9 na\x00efve \x00ff",
      L"\x65e5\x672c\x8a9e\xac00",
      L"\xd83c\xdfb5 \xd83d\xde00",
      L"\xfeff"
      L"bom",
      L"x\xfffe",
      L"\xffff",
      L"\xfeff\xfffe\xffff",
      controls,
      L"lone \xd800 high, lone \xdc00 low, reversed \xdc00\xd800",
      L"&#x41; stays as typed",
      std::wstring(5000, L'x'),
  };
  const int ints[] = {0, -1, 42, INT_MAX, INT_MIN};
  for (std::size_t i = 0; i < std::size(strings); ++i)
    ASSERT_TRUE(Settings::SetString(L"s\\v" + std::to_wstring(i), strings[i], false));
  for (std::size_t i = 0; i < std::size(ints); ++i)
    ASSERT_TRUE(Settings::SetInt(L"n/v" + std::to_wstring(i), ints[i], i % 2 == 1));

  // A second copy reads only what reached the file.
  Settings::XmlStore other(path_, Settings::GetUserKeyName());
  for (std::size_t i = 0; i < std::size(strings); ++i) {
    std::wstring s;
    EXPECT_TRUE(other.GetString(L"s/v" + std::to_wstring(i), s));
    EXPECT_EQ(strings[i], s) << i;
  }
  for (std::size_t i = 0; i < std::size(ints); ++i) {
    int n = 0;
    EXPECT_TRUE(other.GetInt(L"n\\v" + std::to_wstring(i), n));
    EXPECT_EQ(ints[i], n);
  }
}

TEST_F(SettingsFileTest, ValuesAreNestedElementsWithTypeAndValue) {
  ASSERT_TRUE(Settings::SetString(L"mruBackup\\file3", L"D:\\b.mp3", false));
  ASSERT_TRUE(Settings::SetInt(L"Quality", 12, false));
  ASSERT_TRUE(Settings::SetString(L"WriteEngine", L"x", true));
  // An element name the file cannot hold is refused rather than written.
  EXPECT_FALSE(Settings::SetString(L"bad name", L"v", false));
  EXPECT_FALSE(Settings::SetString(L"a\\\\b", L"v", false));

  TiXmlDocument doc;
  ASSERT_EQ(XmlFile::Read::kWhole, XmlFile::Load(path_, doc));
  TiXmlHandle root(doc.FirstChildElement("metaset"));
  TiXmlHandle user =
      root.FirstChildElement("users").FirstChildElement(Utf8::Encode(Settings::GetUserKeyName()));
  const TiXmlElement* file3 =
      user.FirstChildElement("mruBackup").FirstChildElement("file3").ToElement();
  ASSERT_TRUE(file3);
  EXPECT_STREQ("string", file3->Attribute("type"));
  EXPECT_STREQ("D:\\b.mp3", file3->Attribute("value"));
  const TiXmlElement* quality = user.FirstChildElement("Quality").ToElement();
  ASSERT_TRUE(quality);
  EXPECT_STREQ("int", quality->Attribute("type"));
  EXPECT_STREQ("12", quality->Attribute("value"));
  EXPECT_TRUE(root.FirstChildElement("global").FirstChildElement("WriteEngine").ToElement());
  EXPECT_FALSE(user.FirstChildElement("bad_name").ToElement());
}

// Every write takes what another copy (the online plug-in's) stored meanwhile.
TEST_F(SettingsFileTest, AWriteKeepsWhatThePluginsCopyStored) {
  int n;
  EXPECT_FALSE(Settings::GetInt(L"Quality", n));  // the program's copy is built

  {
    PluginProbe plugin(L"plugin_probe.dll");
    auto store =
        plugin.Export<int (*)(const wchar_t*, const wchar_t*, const wchar_t*)>("StoreString");
    ASSERT_TRUE(store);
    EXPECT_EQ(1, store(Settings::Root().c_str(), L"email", L"ann@example.org"));
  }

  ASSERT_TRUE(Settings::SetInt(L"Quality", 5, false));
  std::wstring email;
  EXPECT_TRUE(Settings::GetString(L"email", email));
  EXPECT_EQ(L"ann@example.org", email);
  Settings::XmlStore reread(path_, Settings::GetUserKeyName());
  EXPECT_TRUE(reread.GetString(L"email", email));
  EXPECT_TRUE(reread.GetInt(L"Quality", n));
  EXPECT_EQ(5, n);
}

TEST_F(SettingsFileTest, AFailedSaveLeavesTheFileWholeAndTheNextWriteSavesTheValue) {
  ASSERT_TRUE(Settings::SetString(L"first", L"1", false));
  const std::string before = ReadBytes(path_);
  {
    // A reader that does not let the file be replaced.
    HANDLE h = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(Settings::SetString(L"second", L"2", false));
    CloseHandle(h);
  }
  EXPECT_EQ(before, ReadBytes(path_));
  std::wstring s;
  EXPECT_TRUE(Settings::GetString(L"second", s));

  ASSERT_TRUE(Settings::SetString(L"third", L"3", false));
  Settings::XmlStore reread(path_, Settings::GetUserKeyName());
  EXPECT_TRUE(reread.GetString(L"second", s));
  EXPECT_EQ(L"2", s);
  EXPECT_TRUE(reread.GetString(L"third", s));

  // No temporary file is left behind.
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((path_ + L".*.tmp").c_str(), &fd);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// Stores over prepared files, with a fixed user key.
class SettingsStoreTest : public ::testing::Test {
 protected:
  std::wstring File(const std::string& content) {
    const std::wstring path = dir_ / L"s.xml";
    WriteBytes(path, content);
    return path;
  }
  TempDir dir_;
};

TEST_F(SettingsStoreTest, ReadsTheUsersValueThenTheMachineWideOne) {
  const std::wstring path = File(kDecl +
                                 "<metaset><global>"
                                 "<OnlyGlobal type=\"string\" value=\"g\"/>"
                                 "<Both type=\"string\" value=\"g\"/>"
                                 "<Hidden type=\"string\" value=\"g\"/>"
                                 "</global><users><U>"
                                 "<Both type=\"string\" value=\"u\"/>"
                                 "<Hidden type=\"int\" value=\"1\"/>"
                                 "<NoType value=\"x\"/><NoValue type=\"string\"/>"
                                 "</U><Other><Mine type=\"string\" value=\"o\"/></Other>"
                                 "</users></metaset>");
  Settings::XmlStore store(path, L"U");
  struct {
    const wchar_t* path;
    bool found;
    const wchar_t* value;
  } const cases[] = {
      {L"OnlyGlobal", true, L"g"}, {L"Both", true, L"u"},    {L"Hidden", false, L""},
      {L"NoType", false, L""},     {L"NoValue", false, L""}, {L"Mine", false, L""},
  };
  for (const auto& c : cases) {
    std::wstring s = L"-";
    EXPECT_EQ(c.found, store.GetString(c.path, s)) << c.path;
    EXPECT_EQ(c.found ? c.value : L"-", s) << c.path;
  }
}

TEST_F(SettingsStoreTest, IntsReadLikeDecimalNumbersInText) {
  struct {
    const char* stored;
    bool found;
    int value;
  } const cases[] = {
      {"12abc", true, 12},
      {"abc", true, 0},
      {"", false, -1},
      {"  -7", true, -7},
      {"+5", true, 5},
      {"99999999999", true, INT_MAX},
      {"-99999999999", true, INT_MIN},
      {"0x10", true, 0},
  };
  std::string users;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    users += "<v" + std::to_string(i) + " type=\"int\" value=\"" + cases[i].stored + "\"/>";
  Settings::XmlStore store(
      File(kDecl + "<metaset><global/><users><U>" + users + "</U></users></metaset>"), L"U");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    int n = -1;
    EXPECT_EQ(cases[i].found, store.GetInt(L"v" + std::to_wstring(i), n)) << cases[i].stored;
    EXPECT_EQ(cases[i].value, n) << cases[i].stored;
  }
}

TEST_F(SettingsStoreTest, AForeignFileGetsTheSettingsAppended) {
  const std::string foreign = "<?xml version=\"1.0\" ?>\n<config>\n    <a />\n</config>\n";
  const std::wstring path = File(foreign);
  Settings::XmlStore store(path, L"U");
  ASSERT_TRUE(store.SetInt(L"Quality", 3, false));
  EXPECT_EQ(WithCrLf(foreign + "<?xml version=\"1.0\" ?>\n<metaset>\n    <users>\n        <U>\n"
                               "            <Quality type=\"int\" value=\"3\" />\n        </U>\n"
                               "    </users>\n    <global />\n</metaset>\n"),
            ReadBytes(path));
  Settings::XmlStore reread(path, L"U");
  int n = 0;
  EXPECT_TRUE(reread.GetInt(L"Quality", n));
  EXPECT_EQ(3, n);
}

// Files that cannot be read are replaced by a fresh file and kept beside it.
TEST_F(SettingsStoreTest, UnreadableFilesAreSetAsideAndReplaced) {
  const std::string good = kDecl +
                           "<metaset><global/><users><U><Quality type=\"int\" value=\"9\"/>"
                           "</U></users></metaset>";
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
  std::string deep = kDecl;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  std::string deepClosed = kDecl + "<metaset>";
  for (int i = 0; i < 150; ++i) deepClosed += "<a>";
  for (int i = 0; i < 150; ++i) deepClosed += "</a>";
  deepClosed += "</metaset>";
  const std::string utf16("\xFF\xFE<\0m\0e\0t\0a\0s\0e\0t\0/\0>\0", 22);
  const std::string cases[] = {
      "",
      good.substr(0, good.size() / 2),
      binary,
      deep,
      deepClosed,
      utf16,
      kDecl + "<metaset><users><U><x type=\"string\" value=\"\xE0\"/></U></users></metaset>",
      kDecl + "<metaset><users><U><a b='1' b='2'/></U></users></metaset>",
      kDecl + "<metaset>" + std::string(1, '\0') + "</metaset>",
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::wstring path = File(cases[i]);
    DeleteFileW((path + L".bad").c_str());
    Settings::XmlStore store(path, L"U");
    int n = 0;
    EXPECT_FALSE(store.GetInt(L"Quality", n)) << i;
    EXPECT_TRUE(store.SetInt(L"Quality", 4, false)) << i;
    EXPECT_EQ(cases[i], ReadBytes(path + L".bad")) << i;
    Settings::XmlStore reread(path, L"U");
    EXPECT_TRUE(reread.GetInt(L"Quality", n)) << i;
    EXPECT_EQ(4, n) << i;
  }
}

// Where the copy to <file>.bad cannot be made (someone else's copy held open,
// a folder of that name), the file is never written over: the store runs on
// the template in memory, and a file damaged between two writes stays as it is.
TEST_F(SettingsStoreTest, AFileThatCannotBeKeptAsideIsNeverReplaced) {
  const std::string good = kDecl +
                           "<metaset><global/><users><U><Quality type=\"int\" value=\"9\"/>"
                           "</U></users></metaset>";
  const std::string unreadable = good.substr(0, good.size() / 2);
  const std::string partly = good + "\nnotes typed by hand<x/>";
  const std::wstring path = dir_ / L"s.xml", bad = path + L".bad";
  for (bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "a folder" : "held open");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (folder) {
      CreateDirectoryW(bad.c_str(), nullptr);
    } else {
      WriteBytes(bad, "someone else's");
      held = CreateFileW(bad.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, held);
    }
    for (const std::string& content : {unreadable, partly}) {
      SCOPED_TRACE(content);
      WriteBytes(path, content);
      {
        Settings::XmlStore store(path, L"U");
        int n = 0;
        EXPECT_FALSE(store.GetInt(L"Quality", n));
        EXPECT_TRUE(store.SetInt(L"Quality", 4, false));
        EXPECT_TRUE(store.GetInt(L"Quality", n));
        EXPECT_EQ(4, n);
      }
      EXPECT_EQ(content, ReadBytes(path));
    }
    // Damaged while the store holds its values.
    WriteBytes(path, good);
    {
      Settings::XmlStore store(path, L"U");
      WriteBytes(path, unreadable);
      EXPECT_TRUE(store.SetInt(L"Quality", 5, false));
      EXPECT_TRUE(store.SetInt(L"Quality", 6, false));
    }
    EXPECT_EQ(unreadable, ReadBytes(path));
    if (folder) {
      EXPECT_TRUE(RemoveDirectoryW(bad.c_str()));
    } else {
      CloseHandle(held);
      EXPECT_EQ("someone else's", ReadBytes(bad));
      DeleteFileW(bad.c_str());
    }
  }
}

// Files that the parser reads keep every value, whatever their encoding,
// DOCTYPE or processing instructions; one whose end the parser does not read
// is kept aside before it is rewritten.
TEST_F(SettingsStoreTest, FilesTheParserReadsKeepTheirValues) {
  const std::string users =
      "<users><U><Quality type=\"int\" value=\"9\"/>"
      "<mruBackup><file type=\"int\" value=\"1\"/><file0 type=\"string\" value=\"";
  const std::string rest = "\"/></mruBackup></U></users>";
  const std::string utf8 = "C:\\Caf\xC3\xA9\xEF\xBF\xBE.mp3";
  const std::wstring latin = L"C:\\Caf\x00e9.mp3";
  const std::wstring wide = L"C:\\Caf\x00e9\xfffe.mp3";
  const struct {
    std::string content;
    bool keptAside;
    std::wstring expected;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><metaset>" + users + "C:\\Caf\xE9.mp3" +
           rest + "</metaset>",
       false, latin},
      {kDecl + "<!DOCTYPE metaset SYSTEM \"metaset.dtd\">\n<metaset>" + users + utf8 + rest +
           "</metaset>",
       false, wide},
      {kDecl + "<?editor keep this?>\n<metaset><?pi x?>" + users + utf8 + rest + "</metaset>",
       false, wide},
      {kDecl + "<metaset>" + users + utf8 + rest + "</metaset>\nnotes typed by hand<x/>", true,
       wide},
      // UTF-8 under an old declaration, and references beyond that code
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><metaset>" + users + utf8 + rest +
           "</metaset>",
       false, wide},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><metaset>" + users +
           "C:\\Caf\xE9&#x6771;.mp3" + rest + "</metaset>",
       false, L"C:\\Caf\x00e9\x6771.mp3"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::wstring path = File(cases[i].content);
    DeleteFileW((path + L".bad").c_str());
    {
      Settings::XmlStore store(path, L"U");
      ASSERT_TRUE(store.SetString(L"WriteEngine", L"e", false)) << i;
    }
    EXPECT_EQ(cases[i].keptAside, FileExists(path + L".bad")) << i;
    if (cases[i].keptAside) {
      EXPECT_EQ(cases[i].content, ReadBytes(path + L".bad"));
    }
    // Rewritten in UTF-8, with a declaration that says so.
    const std::string saved = ReadBytes(path);
    EXPECT_NE(std::string::npos, saved.find("encoding=\"utf-8\"")) << saved;
    EXPECT_NE(std::string::npos, saved.find("Caf\xC3\xA9")) << saved;

    Settings::XmlStore reread(path, L"U");
    int n = 0;
    std::wstring s;
    EXPECT_TRUE(reread.GetInt(L"Quality", n)) << i;
    EXPECT_EQ(9, n) << i;
    EXPECT_TRUE(reread.GetString(L"mruBackup\\file0", s)) << i;
    EXPECT_EQ(cases[i].expected, s) << i;
    EXPECT_TRUE(reread.GetString(L"WriteEngine", s)) << i;
  }
}

TEST_F(SettingsStoreTest, AHugeValueDoesNotCostTheOthers) {
  const std::string huge(8u << 20, 'h');
  const std::wstring path =
      File(kDecl + "<metaset><global/><users><U><Big type=\"string\" value=\"" + huge +
           "\"/><Quality type=\"int\" value=\"9\"/></U></users></metaset>");
  Settings::XmlStore store(path, L"U");
  int n = 0;
  std::wstring big;
  EXPECT_TRUE(store.GetInt(L"Quality", n));
  EXPECT_EQ(9, n);
  EXPECT_TRUE(store.GetString(L"Big", big));
  EXPECT_EQ(huge.size(), big.size());
  EXPECT_FALSE(FileExists(path + L".bad"));
}

TEST_F(SettingsStoreTest, WithoutAWritableFileNothingIsStored) {
  for (const std::wstring& path : {std::wstring(), dir_ / L"missing\\s.xml"}) {
    Settings::XmlStore store(path, L"U");
    std::wstring s = L"-";
    EXPECT_FALSE(store.SetString(L"a", L"b", false));
    EXPECT_FALSE(store.GetString(L"a", s));
    EXPECT_EQ(L"-", s);
  }
}

TEST(SettingsUserKey, NamesThatAreNotXmlNamesAreMadeSafe) {
  struct {
    const wchar_t* name;
    const wchar_t* key;
  } const cases[] = {
      {L"S_1_5_21_0_0_0_1000", L"S_1_5_21_0_0_0_1000"},
      {L"John Smith", L"John_Smith"},
      {L"1user", L"_1user"},
      {L"-x", L"_-x"},
      {L"", L"_"},
      {L"Zo\x00eb.M-2", L"Zo\x00eb.M-2"},
      {L"a:b<c>&\"", L"a_b_c___"},
      {L"\xd83d\xde00", L"__"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.key, XmlFile::MakeXmlName(c.name)) << c.name;
    EXPECT_TRUE(XmlFile::IsXmlName(XmlFile::MakeXmlName(c.name)));
  }
  EXPECT_EQ(Settings::GetUserKeyName(), XmlFile::MakeXmlName(Settings::GetUserKeyName()));
}

}  // namespace
