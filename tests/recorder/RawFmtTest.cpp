#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "recorder/RawCdWriter.h"
#include "recorder/RawFmt.h"
#include "recorder/RawStream.h"
#include "recorder/RecorderSinks.h"
#include "tests/recorder/PatternReader.h"
#include "tests/recorder/WriterTestSupport.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/FileBytes.h"

using Bytes = std::vector<unsigned char>;

namespace {

constexpr HRESULT kNoRecorder = Imapi2::E_IMAPI_DF2RAW_NO_RECORDER_SPECIFIED;

ComPtr<IDiscFormat2RawCD> NewWriter() {
  ComPtr<IDiscFormat2RawCD> w;
  *w.Put() = Recorder::CreateRawCdWriter();
  return w;
}

ComPtr<IStream> PatternStream(int32_t end, bool rw) {
  HRESULT hr = E_FAIL;
  auto* s =
      new Recorder::RawStream(std::make_unique<PatternReader>(end), rw, L"TAVRINStream", 0, &hr);
  ComPtr<IStream> stream;
  s->QueryInterface(IID_IStream, stream.PutVoid());
  s->Release();
  return stream;
}

// What the stream holds from a lead-in LBA to its end.
Bytes StreamFrom(int32_t end, bool rw, int32_t start) {
  ComPtr<IStream> s = PatternStream(end, rw);
  const ULONG sector = rw ? 2448 : 2368;
  LARGE_INTEGER at;
  at.QuadPart = -int64_t(start) * sector;
  s->Seek(at, STREAM_SEEK_SET, nullptr);
  Bytes all(std::size_t(end - start) * sector);
  ULONG got = 0;
  EXPECT_EQ(s->Read(all.data(), ULONG(all.size()), &got), S_OK);
  return all;
}

std::vector<LONG> Longs(SAFEARRAY* a, VARTYPE type) {
  std::vector<LONG> out;
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(a, 1, &lo);
  SafeArrayGetUBound(a, 1, &hi);
  for (LONG i = lo; i <= hi; ++i) {
    VARIANT v;
    VariantInit(&v);
    SafeArrayGetElement(a, &i, &v);
    EXPECT_EQ(v.vt, type);
    out.push_back(v.lVal);
    VariantClear(&v);
  }
  SafeArrayDestroy(a);
  return out;
}

// A disc's raw stream whose Seek or Stat fails.
class FailingStream : public Recorder::RawStream {
 public:
  FailingStream(int32_t end, HRESULT seek, HRESULT stat)
      : RawStream(std::make_unique<PatternReader>(end), false, L"TAVRINStream", 0, nullptr),
        seek_(seek),
        stat_(stat) {}
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER at, DWORD from, ULARGE_INTEGER* pos) override {
    return FAILED(seek_) ? seek_ : RawStream::Seek(at, from, pos);
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD flags) override {
    return FAILED(stat_) ? stat_ : RawStream::Stat(st, flags);
  }

 private:
  HRESULT seek_, stat_;
};

class RawFmtTest : public ComApartment {
 protected:
  // Describes the drive and sets it on a new writer.
  ComPtr<IDiscFormat2RawCD> WriterOn(const std::string& keys, HRESULT expected = S_OK) {
    drive.Describe(WriterDrive(keys));
    recorder = RecorderW();
    EXPECT_TRUE(recorder);
    ComPtr<IDiscFormat2RawCD> w = NewWriter();
    EXPECT_EQ(w->put_Recorder(recorder.Get()), expected);
    Bstr client(L"TAVRIN");
    w->put_ClientName(client.Get());
    drive.TakeLog();
    return w;
  }
  VirtualDriveSetup drive;
  ComPtr<IDiscRecorder2> recorder;
};

TEST_F(RawFmtTest, MembersThatNeedARecorderRefuseWithoutOne) {
  ComPtr<IDiscFormat2RawCD> w = NewWriter();
  VARIANT_BOOL b;
  LONG l;
  Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE type;
  Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE media;
  SAFEARRAY* a;
  EXPECT_EQ(w->get_MediaPhysicallyBlank(&b), E_NOINTERFACE);
  const HRESULT results[] = {
      w->get_MediaHeuristicallyBlank(&b),
      w->PrepareMedia(),
      w->WriteMedia(nullptr),
      w->WriteMedia2(nullptr, 0),
      w->ReleaseMedia(),
      w->SetWriteSpeed(-1, VARIANT_FALSE),
      w->put_BufferUnderrunFreeDisabled(0),
      w->get_BufferUnderrunFreeDisabled(&b),
      w->get_StartOfNextSession(&l),
      w->get_LastPossibleStartOfLeadout(&l),
      w->get_CurrentPhysicalMediaType(&media),
      w->get_SupportedSectorTypes(&a),
      w->put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY),
      w->get_RequestedSectorType(&type),
      w->get_RequestedWriteSpeed(&l),
      w->get_RequestedRotationTypeIsPureCAV(&b),
      w->get_CurrentWriteSpeed(&l),
      w->get_CurrentRotationTypeIsPureCAV(&b),
      w->get_SupportedWriteSpeeds(&a),
      w->get_SupportedWriteSpeedDescriptors(&a)};
  for (std::size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], kNoRecorder) << i;
  EXPECT_EQ(w->CancelWrite(), E_UNEXPECTED);
  EXPECT_EQ(w->put_Recorder(nullptr), E_INVALIDARG);
  IDiscRecorder2* none = reinterpret_cast<IDiscRecorder2*>(1);
  EXPECT_EQ(w->get_Recorder(&none), S_OK);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(w->IsRecorderSupported(nullptr, &b), E_INVALIDARG);
  EXPECT_EQ(w->IsRecorderSupported(nullptr, nullptr), E_POINTER);
  BSTR name = nullptr;
  EXPECT_EQ(w->get_ClientName(&name), E_FAIL);  // no name yet
  EXPECT_EQ(w->put_ClientName(nullptr), E_POINTER);
  ASSERT_EQ(w->get_SupportedMediaTypes(&a), S_OK);
  EXPECT_EQ(Longs(a, VT_I4), (std::vector<LONG>{3, 2}));
  // Without the service's type library the dispatch side offers nothing, and
  // the object works all the same.
  UINT infos = 9;
  EXPECT_EQ(w->GetTypeInfoCount(&infos), S_OK);
  EXPECT_EQ(infos, 0u);
  DISPPARAMS noArgs = {};
  EXPECT_EQ(w->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArgs, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(RawFmtTest, CdMasteringFeatureDecidesSupportAndSectorTypes) {
  struct Row {
    const char* mastering;
    VARIANT_BOOL supported;
    std::vector<LONG> types;
    LONG requested;
  } rows[] = {
      {"59", VARIANT_TRUE, {1, 2, 3}, 3},   // BUF, RAW MS, RAW, R-W
      {"48", VARIANT_TRUE, {1}, 1},         // BUF and RAW, no R-W
      {"41", VARIANT_FALSE, {1, 2, 3}, 3},  // no raw writing
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mastering);
    ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nmastering = " + std::string(r.mastering));
    VARIANT_BOOL b = 9;
    EXPECT_EQ(w->IsRecorderSupported(recorder.Get(), &b), S_OK);
    EXPECT_EQ(b, r.supported);
    SAFEARRAY* a = nullptr;
    ASSERT_EQ(w->get_SupportedSectorTypes(&a), S_OK);
    EXPECT_EQ(Longs(a, VT_UI4), r.types);
    Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE type;
    ASSERT_EQ(w->get_RequestedSectorType(&type), S_OK);
    EXPECT_EQ(type, r.requested);
    const bool rw = r.types.size() == 3;
    EXPECT_EQ(w->put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW),
              rw ? S_OK : E_INVALIDARG);
    EXPECT_EQ(w->put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY), S_OK);
    EXPECT_EQ(
        w->put_RequestedSectorType(static_cast<Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE>(4)),
        E_INVALIDARG);
    // Underrun-free writing can be switched off; without BUF it cannot be kept on.
    EXPECT_EQ(w->put_BufferUnderrunFreeDisabled(VARIANT_TRUE), S_OK);
    EXPECT_EQ(w->get_BufferUnderrunFreeDisabled(&b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);
    EXPECT_EQ(w->put_BufferUnderrunFreeDisabled(VARIANT_FALSE), S_OK);
  }
  ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nmastering = 18");
  EXPECT_EQ(w->put_BufferUnderrunFreeDisabled(VARIANT_FALSE), E_INVALIDARG);
  // A recorder whose feature cannot be read is not taken.
  ComPtr<IDiscFormat2RawCD> broken = WriterOn("medium = cdr\nfailcall = GetFeaturePage C0AA020A",
                                              Imapi2::E_IMAPI_RECORDER_NO_SUCH_FEATURE);
  IDiscRecorder2* held = nullptr;
  EXPECT_EQ(broken->get_Recorder(&held), S_OK);
  EXPECT_EQ(held, nullptr);
}

TEST_F(RawFmtTest, WriteSpeedsFromTheDrivesPerformance) {
  struct Row {
    const char* keys;
    HRESULT hr;
    LONG current;
    VARIANT_BOOL cav;
    LONG requested;
  } rows[] = {
      {"performance = 7056-7056", S_OK, 3000, VARIANT_FALSE, 3000},
      {"performance = 1764-7056", S_OK, 750, VARIANT_TRUE, 750},
      {"performance = 1764-3528\nperformance = 3528-7056", S_OK, 750, VARIANT_FALSE, 750},
      {"", E_FAIL, 0, VARIANT_FALSE, -1},  // no performance: the request stays the maximum
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.keys);
    ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\n" + std::string(r.keys));
    LONG speed = 0;
    VARIANT_BOOL cav = 9;
    EXPECT_EQ(w->get_CurrentWriteSpeed(&speed), r.hr);
    EXPECT_EQ(w->get_CurrentRotationTypeIsPureCAV(&cav), r.hr);
    if (r.hr == S_OK) {
      EXPECT_EQ(speed, r.current);
      EXPECT_EQ(cav, r.cav);
    }
    EXPECT_EQ(w->get_RequestedWriteSpeed(&speed), S_OK);
    EXPECT_EQ(speed, r.requested);
    // The query asks the drive the way drives expect it.
    const auto log = drive.TakeLog();
    EXPECT_TRUE(Has(log, "cdb=000000000000 timeout=20"));
    EXPECT_TRUE(Has(log, "call=GetModePage 42"));
    EXPECT_TRUE(Has(log, "cdb=AC1400000000000000200000 timeout=20 buf=520"));
  }
}

TEST_F(RawFmtTest, SetWriteSpeedSendsSetCdSpeed) {
  ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nperformance = 7056-7056");
  EXPECT_EQ(w->SetWriteSpeed(1200, VARIANT_FALSE), S_OK);
  EXPECT_EQ(w->SetWriteSpeed(-1, VARIANT_TRUE), S_OK);
  LONG speed = 0;
  VARIANT_BOOL cav = 0;
  w->get_RequestedWriteSpeed(&speed);
  w->get_RequestedRotationTypeIsPureCAV(&cav);
  EXPECT_EQ(speed, -1);
  EXPECT_EQ(cav, VARIANT_TRUE);
  const auto sent = Lines(drive.TakeLog(), "cdb=BB");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NE(sent[0].find("cdb=BB00FFFF0B06000000000000 timeout=20"), std::string::npos);
  EXPECT_NE(sent[1].find("cdb=BB01FFFFFFFF000000000000 timeout=20"), std::string::npos);
}

TEST_F(RawFmtTest, SupportedWriteSpeedsAndTheirDescriptors) {
  ComPtr<IDiscFormat2RawCD> w =
      WriterOn("medium = cdrw\nwritespeed = 7056\nwritespeed = 3528 cav\nwritespeed = 1764");
  SAFEARRAY* a = nullptr;
  ASSERT_EQ(w->get_SupportedWriteSpeeds(&a), S_OK);
  EXPECT_EQ(Longs(a, VT_I4), (std::vector<LONG>{3000, 1500, 750}));
  EXPECT_TRUE(Has(drive.TakeLog(), "cdb=AC0000000000000000200300 timeout=20 buf=520"));
  ASSERT_EQ(w->get_SupportedWriteSpeedDescriptors(&a), S_OK);
  LONG lo = 0, hi = 0;
  SafeArrayGetUBound(a, 1, &hi);
  ASSERT_EQ(hi, 2);
  const LONG speeds[] = {3000, 1500, 750};
  for (LONG i = lo; i <= hi; ++i) {
    VARIANT v;
    VariantInit(&v);
    SafeArrayGetElement(a, &i, &v);
    ASSERT_EQ(v.vt, VT_DISPATCH);
    ComPtr<IWriteSpeedDescriptor> d;
    ASSERT_EQ(v.pdispVal->QueryInterface(__uuidof(IWriteSpeedDescriptor), d.PutVoid()), S_OK);
    Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type;
    LONG speed = 0;
    VARIANT_BOOL cav = 9;
    EXPECT_EQ(d->get_MediaType(&type), S_OK);
    EXPECT_EQ(type, Imapi2::IMAPI_MEDIA_TYPE_CDRW);
    EXPECT_EQ(d->get_WriteSpeed(&speed), S_OK);
    EXPECT_EQ(speed, speeds[i]);
    EXPECT_EQ(d->get_RotationTypeIsPureCAV(&cav), S_OK);
    EXPECT_EQ(cav, i == 1 ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_EQ(d->get_WriteSpeed(nullptr), E_POINTER);
    VariantClear(&v);
  }
  SafeArrayDestroy(a);
  // Without a recordable medium there is no media type to give.
  ComPtr<IDiscFormat2RawCD> empty = WriterOn("medium = none\nwritespeed = 7056");
  EXPECT_EQ(empty->get_SupportedWriteSpeedDescriptors(&a), E_UNEXPECTED);
}

TEST_F(RawFmtTest, MediumStates) {
  struct Row {
    const char* keys;
    VARIANT_BOOL mediaSupported, blank;
    HRESULT capacityHr;
    LONG capacity;
    Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type;
  } rows[] = {
      {"medium = cdr\ncapacity = 79:59:74", VARIANT_TRUE, VARIANT_TRUE, S_OK, 359999,
       Imapi2::IMAPI_MEDIA_TYPE_CDR},
      // Too small for a long disc: the page compares the capacity with the disc.
      {"medium = cdr\ncapacity = 21:00:00", VARIANT_TRUE, VARIANT_TRUE, S_OK, 94500,
       Imapi2::IMAPI_MEDIA_TYPE_CDR},
      {"medium = cdr\ncapacity = 74:00:00 atip", VARIANT_TRUE, VARIANT_TRUE, S_OK, 333000,
       Imapi2::IMAPI_MEDIA_TYPE_CDR},
      {"medium = cdr\nstatus = complete", VARIANT_TRUE, VARIANT_FALSE, E_FAIL, 0,
       Imapi2::IMAPI_MEDIA_TYPE_CDR},
      {"medium = cdrw\nstatus = complete\ncapacity = 79:59:74 atip", VARIANT_TRUE, VARIANT_FALSE,
       S_OK, 359999, Imapi2::IMAPI_MEDIA_TYPE_CDRW},
      {"medium = none", VARIANT_FALSE, VARIANT_FALSE, E_FAIL, 0, Imapi2::IMAPI_MEDIA_TYPE_UNKNOWN},
      {"medium = cdrom", VARIANT_FALSE, VARIANT_FALSE, E_FAIL, 0, Imapi2::IMAPI_MEDIA_TYPE_UNKNOWN},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.keys);
    ComPtr<IDiscFormat2RawCD> w = WriterOn(r.keys);
    VARIANT_BOOL b = 9;
    EXPECT_EQ(w->IsCurrentMediaSupported(recorder.Get(), &b), S_OK);
    EXPECT_EQ(b, r.mediaSupported);
    EXPECT_EQ(w->get_MediaPhysicallyBlank(&b), S_OK);
    EXPECT_EQ(b, r.blank);
    EXPECT_EQ(w->get_MediaHeuristicallyBlank(&b), S_OK);
    EXPECT_EQ(b, r.blank);
    LONG value = -1;
    EXPECT_EQ(w->get_LastPossibleStartOfLeadout(&value), r.capacityHr);
    if (r.capacityHr == S_OK) {
      EXPECT_EQ(value, r.capacity);
    }
    EXPECT_EQ(w->get_StartOfNextSession(&value), r.capacityHr);
    Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type;
    EXPECT_EQ(w->get_CurrentPhysicalMediaType(&type), S_OK);
    EXPECT_EQ(type, r.type);
  }
  // A failing disc information query is passed on.
  ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nfailcall = GetDiscInformation C0AA0202");
  VARIANT_BOOL b;
  EXPECT_EQ(w->get_MediaPhysicallyBlank(&b), Imapi2::E_IMAPI_RECORDER_MEDIA_NO_MEDIA);
}

TEST_F(RawFmtTest, ClientNameIsCopiedEachTime) {
  ComPtr<IDiscFormat2RawCD> w = NewWriter();
  Bstr name(L"TAVRIN");
  ASSERT_EQ(w->put_ClientName(name.Get()), S_OK);
  BSTR a = nullptr, b = nullptr;
  ASSERT_EQ(w->get_ClientName(&a), S_OK);
  ASSERT_EQ(w->get_ClientName(&b), S_OK);
  EXPECT_NE(a, b);
  EXPECT_NE(a, name.Get());
  EXPECT_STREQ(a, L"TAVRIN");
  EXPECT_STREQ(b, L"TAVRIN");
  SysFreeString(a);
  SysFreeString(b);
}

// A whole disc written from the lead-in start the medium gives, as the job
// calls it, in both sector layouts.
TEST_F(RawFmtTest, WritesTheWholeDiscFromTheLeadInAndRestoresTheDrive) {
  const int32_t end = 600 + 6750;
  const std::wstring dump = drive.dir() / L"burn.bin";
  SetEnvironmentVariableW(L"TAVRIN_VDRIVE_BURN", dump.c_str());
  for (bool rw : {true, false}) {
    SCOPED_TRACE(rw ? "P-W" : "P-Q");
    ComPtr<IDiscFormat2RawCD> w =
        WriterOn("medium = cdr\nleadin = 99:50:00\nperformance = 7056-7056\neventevery = 1000");
    ProgressSink sink;
    ASSERT_EQ(w->PrepareMedia(), S_OK);
    ASSERT_EQ(w->put_RequestedSectorType(rw ? Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW
                                            : Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY),
              S_OK);
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(w.As(cpc), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(cpc->FindConnectionPoint(Imapi2::DIID_DDiscFormat2RawCDEvents, point.Put()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    ComPtr<IStream> stream = PatternStream(end, rw);
    ASSERT_EQ(w->WriteMedia(stream.Get()), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    ASSERT_EQ(w->ReleaseMedia(), S_OK);

    const int bytes = rw ? 2448 : 2368;
    const auto log = drive.TakeLog();
    const char* block = rw ? "43000300" : "43000100";
    EXPECT_TRUE(Has(log, "call=AcquireExclusiveAccess force=1 client=TAVRIN"));
    EXPECT_TRUE(Has(log, "cdb=1E0000000100 timeout=10"));
    // Raw mode with the block type of the sector size; the other bytes as the drive had them.
    const auto pages = Lines(log, "call=SetModePage");
    ASSERT_GE(pages.size(), 3u);
    EXPECT_NE(pages[1].find(std::string("SetModePage 0532") + block + "0000000096"),
              std::string::npos)
        << pages[1];
    EXPECT_NE(pages.back().find("SetModePage 0532010408000000000096"), std::string::npos);
    EXPECT_TRUE(Has(log, "call=engine BytesPerSector=" + std::to_string(bytes)));
    EXPECT_TRUE(Has(log, "call=engine UseStreamingWrite12=0"));
    EXPECT_TRUE(Has(log, "call=engine StartingSectorsPerSecond=3000"));
    EXPECT_TRUE(Has(log, "cdb=1B0000000100 timeout=20"));
    EXPECT_TRUE(Has(log, "cdb=54010000000000000000 timeout=20"));
    EXPECT_TRUE(Has(log, "call=engine WriteSection start=-900 count=8250 sinks=1"));
    EXPECT_TRUE(Has(log, "call=burn start=-900 count=8250 bytes=" + std::to_string(bytes) +
                             " written=8250 hr=00000000"));
    EXPECT_GT(IndexOf(log, "cdb=35000000000000000000"), IndexOf(log, "call=burn"));
    EXPECT_TRUE(Has(log, "cdb=1E0000000000 timeout=10"));
    EXPECT_GT(IndexOf(log, "call=ReleaseExclusiveAccess"), IndexOf(log, "cdb=1E0000000000"));
    EXPECT_EQ(ReadFileBytes(dump), StreamFrom(end, rw, -900));
    // Progress: writing, up to the last sector.
    ASSERT_GE(sink.events.size(), 8u);
    for (const auto& e : sink.events) {
      EXPECT_EQ(e.action, 2);
      EXPECT_EQ(e.startLba, -900);
      EXPECT_EQ(e.sectorCount, 8250);
    }
    EXPECT_EQ(sink.events.back().lastWritten, end - 1);
  }
  SetEnvironmentVariableW(L"TAVRIN_VDRIVE_BURN", nullptr);
}

TEST_F(RawFmtTest, StartOfTheWriteFollowsTheDiscInformation) {
  struct Row {
    const char* keys;
    const char* write;
  } rows[] = {
      {"leadin = 97:26:66", "WriteSection start=-11634 count=12234"},
      // No answer while preparing: 95:00:00.
      {"leadin = 97:26:66\nfailcall = GetDiscInformation 80004005 1",
       "WriteSection start=-22650 count=23250"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.keys);
    ComPtr<IDiscFormat2RawCD> w =
        WriterOn("medium = cdr\neventevery = 100000\n" + std::string(r.keys));
    ASSERT_EQ(w->PrepareMedia(), S_OK);
    ComPtr<IStream> stream = PatternStream(600, false);
    w->put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY);
    EXPECT_EQ(w->WriteMedia(stream.Get()), S_OK);
    EXPECT_EQ(w->ReleaseMedia(), S_OK);
    EXPECT_TRUE(Has(drive.TakeLog(), r.write));
  }
}

TEST_F(RawFmtTest, AWrittenDiscIsNotPreparedForAWrite) {
  ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nstatus = complete");
  EXPECT_EQ(w->PrepareMedia(), Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_BLANK);
  EXPECT_EQ(w->ReleaseMedia(), S_OK);
  const auto log = drive.TakeLog();
  EXPECT_FALSE(Has(log, "WriteSection"));
  EXPECT_TRUE(Has(log, "call=ReleaseExclusiveAccess"));
  EXPECT_NE(Lines(log, "call=SetModePage").back().find("SetModePage 0532010408"),
            std::string::npos);
}

// A write that fails before the burn (the drive refusing the raw write
// parameters, a stream that cannot seek or tell its size) returns that
// failure, burns nothing, leaves the writer able to write, and releasing the
// medium gives the drive back its own write parameters and its exclusive access.
TEST_F(RawFmtTest, WriteFailingBeforeTheBurnLeavesNothingBehind) {
  struct Row {
    const char* keys;
    HRESULT seek, stat, expected;
  } rows[] = {
      {"failcall = SetModePage C0AA0202", S_OK, S_OK, HRESULT(0xC0AA0202)},
      {"", STG_E_INVALIDFUNCTION, S_OK, STG_E_INVALIDFUNCTION},
      {"", S_OK, STG_E_ACCESSDENIED, STG_E_ACCESSDENIED},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.keys << std::hex << r.seek << " " << r.stat);
    ComPtr<IDiscFormat2RawCD> w =
        WriterOn("medium = cdr\nleadin = 99:50:00\neventevery = 100000\n" + std::string(r.keys));
    ASSERT_EQ(w->PrepareMedia(), S_OK);
    w->put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY);
    ComPtr<IStream> failing;
    *failing.Put() = new FailingStream(600, r.seek, r.stat);
    EXPECT_EQ(w->WriteMedia(failing.Get()), r.expected);
    if (r.keys[0] == '\0') {
      // The same writer then burns the disc with one sink on its engine.
      ComPtr<IStream> good = PatternStream(600, false);
      EXPECT_EQ(w->WriteMedia(good.Get()), S_OK);
    }
    EXPECT_EQ(w->ReleaseMedia(), S_OK);
    const auto log = drive.TakeLog();
    EXPECT_EQ(Has(log, "call=engine WriteSection start=-900 count=1500 sinks=1"),
              r.keys[0] == '\0');
    EXPECT_TRUE(Has(log, "call=ReleaseExclusiveAccess"));
    EXPECT_NE(Lines(log, "SetModePage").back().find("SetModePage 0532010408"), std::string::npos);
  }
}

TEST_F(RawFmtTest, CancelFromAProgressEventEndsTheWrite) {
  ComPtr<IDiscFormat2RawCD> w = WriterOn("medium = cdr\nleadin = 99:50:00\neventevery = 200");
  ASSERT_EQ(w->PrepareMedia(), S_OK);
  ProgressSink sink;
  sink.cancel = true;
  ComPtr<IConnectionPointContainer> cpc;
  w.As(cpc);
  ComPtr<IConnectionPoint> point;
  cpc->FindConnectionPoint(Imapi2::DIID_DDiscFormat2RawCDEvents, point.Put());
  DWORD cookie = 0;
  point->Advise(&sink, &cookie);
  ComPtr<IStream> stream = PatternStream(7350, false);
  EXPECT_EQ(w->WriteMedia(stream.Get()), Imapi2::E_IMAPI_REQUEST_CANCELLED);
  EXPECT_EQ(sink.events.size(), 1u);
  point->Unadvise(cookie);
  EXPECT_EQ(w->ReleaseMedia(), S_OK);
  EXPECT_EQ(w->CancelWrite(), E_UNEXPECTED);  // the engine is gone
  EXPECT_TRUE(Has(drive.TakeLog(), "call=engine CancelWrite"));
}

TEST_F(RawFmtTest, EngineEventWithoutProgressFiresNothing) {
  ComPtr<IDiscFormat2RawCD> w = NewWriter();
  ProgressSink sink;
  ComPtr<IConnectionPointContainer> cpc;
  w.As(cpc);
  ComPtr<IConnectionPoint> point;
  cpc->FindConnectionPoint(Imapi2::DIID_DDiscFormat2RawCDEvents, point.Put());
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  auto* raw = static_cast<Recorder::RawFmt*>(w.Get());
  EXPECT_EQ(raw->OnWriteEngineUpdate(nullptr, &sink), S_OK);  // not engine progress
  EXPECT_TRUE(sink.events.empty());
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(cpc->EnumConnectionPoints(points.Put()), S_OK);
  IConnectionPoint* found[2] = {};
  ULONG n = 0;
  EXPECT_EQ(points->Next(2, found, &n), S_FALSE);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(found[0], point.Get());
  found[0]->Release();
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

// Short of memory, the connection point, its enumeration and an event sink answer
// E_OUTOFMEMORY: no C++ exception leaves a COM method.
TEST(ComObjectsShortOfMemory, AnswerOutOfMemory) {
  ComPtr<IDiscFormat2RawCD> w = NewWriter();
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(w.As(cpc), S_OK);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(cpc->FindConnectionPoint(Imapi2::DIID_DDiscFormat2RawCDEvents, point.Put()), S_OK);
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(cpc->EnumConnectionPoints(points.Put()), S_OK);
  ComPtr<Recorder::EraserEvent> eraseSink;
  *eraseSink.Put() = new Recorder::EraserEvent;
  ComPtr<Recorder::RawWriterEvent> writeSink;
  *writeSink.Put() = new Recorder::RawWriterEvent;
  VARIANT args[3];
  for (VARIANT& v : args) {
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 1;
  }
  DISPPARAMS params = {args, nullptr, 3, 0};

  HRESULT enumerate, clone, advise, invoke;
  IEnumConnectionPoints* more = reinterpret_cast<IEnumConnectionPoints*>(1);
  IEnumConnectionPoints* copy = reinterpret_cast<IEnumConnectionPoints*>(1);
  DWORD cookie = 7;
  {
    AllocationWatch none(0);
    enumerate = cpc->EnumConnectionPoints(&more);
    clone = points->Clone(&copy);
    advise = point->Advise(writeSink.Get(), &cookie);
    invoke = eraseSink->Invoke(Imapi2::DISPID_DDISCFORMAT2ERASEEVENTS_UPDATE, IID_NULL, 0,
                               DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  EXPECT_EQ(enumerate, E_OUTOFMEMORY);
  EXPECT_EQ(more, nullptr);
  EXPECT_EQ(clone, E_OUTOFMEMORY);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(advise, E_OUTOFMEMORY);
  EXPECT_EQ(invoke, E_OUTOFMEMORY);
  // Nothing was connected: a cookie of the failed call names no connection.
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(point->Advise(writeSink.Get(), &cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
}

}  // namespace
