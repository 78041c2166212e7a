// The project's IMAPI2 declarations against the published interface
// reference: vtable slots (counted from IUnknown's QueryInterface) and ids.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/cd/imapi2/Imapi2.h"

namespace {

// With GCC's C++ ABI a pointer to a virtual member holds 1 + the slot's byte offset.
template <class C, class F>
size_t Slot(F C::*member) {
  static_assert(sizeof(member) == 2 * sizeof(void*), "a pointer to member of two words");
  uintptr_t raw = 0;
  std::memcpy(&raw, &member, sizeof raw);
  return (raw - 1) / sizeof(void*);
}

TEST(Imapi2Declarations, VtableSlotsAreThePublishedOnes) {
  struct Row {
    const char* member;
    size_t slot, expected;
  };
  const Row rows[] = {
      {"DiscMaster2 get__NewEnum", Slot(&IDiscMaster2::get__NewEnum), 7},
      {"DiscMaster2 get_IsSupportedEnvironment", Slot(&IDiscMaster2::get_IsSupportedEnvironment),
       10},
      {"DiscRecorder2 EjectMedia", Slot(&IDiscRecorder2::EjectMedia), 7},
      {"DiscRecorder2 AcquireExclusiveAccess", Slot(&IDiscRecorder2::AcquireExclusiveAccess), 9},
      {"DiscRecorder2 InitializeDiscRecorder", Slot(&IDiscRecorder2::InitializeDiscRecorder), 13},
      {"DiscRecorder2 get_VolumePathNames", Slot(&IDiscRecorder2::get_VolumePathNames), 19},
      {"DiscRecorder2 get_CurrentProfiles", Slot(&IDiscRecorder2::get_CurrentProfiles), 25},
      {"DiscRecorder2 get_ExclusiveAccessOwner", Slot(&IDiscRecorder2::get_ExclusiveAccessOwner),
       27},
      {"DiscRecorder2Ex SendCommandNoData", Slot(&IDiscRecorder2Ex::SendCommandNoData), 3},
      {"DiscRecorder2Ex SendCommandGetDataFromDevice",
       Slot(&IDiscRecorder2Ex::SendCommandGetDataFromDevice), 5},
      {"DiscRecorder2Ex GetDiscInformation", Slot(&IDiscRecorder2Ex::GetDiscInformation), 10},
      {"DiscRecorder2Ex GetFeaturePage", Slot(&IDiscRecorder2Ex::GetFeaturePage), 12},
      {"DiscRecorder2Ex SetModePage", Slot(&IDiscRecorder2Ex::SetModePage), 14},
      {"DiscRecorder2Ex GetMaximumPageAlignedTransferSize",
       Slot(&IDiscRecorder2Ex::GetMaximumPageAlignedTransferSize), 20},
      {"DiscFormat2 IsRecorderSupported", Slot(&IDiscFormat2::IsRecorderSupported), 7},
      {"DiscFormat2 get_SupportedMediaTypes", Slot(&IDiscFormat2::get_SupportedMediaTypes), 11},
      {"DiscFormat2Erase put_Recorder", Slot(&IDiscFormat2Erase::put_Recorder), 12},
      {"DiscFormat2Erase EraseMedia", Slot(&IDiscFormat2Erase::EraseMedia), 19},
      {"DiscFormat2RawCD PrepareMedia", Slot(&IDiscFormat2RawCD::PrepareMedia), 12},
      {"DiscFormat2RawCD SetWriteSpeed", Slot(&IDiscFormat2RawCD::SetWriteSpeed), 17},
      {"DiscFormat2RawCD put_Recorder", Slot(&IDiscFormat2RawCD::put_Recorder), 18},
      {"DiscFormat2RawCD put_RequestedSectorType",
       Slot(&IDiscFormat2RawCD::put_RequestedSectorType), 26},
      {"DiscFormat2RawCD get_SupportedWriteSpeedDescriptors",
       Slot(&IDiscFormat2RawCD::get_SupportedWriteSpeedDescriptors), 35},
      {"WriteEngine2 WriteSection", Slot(&IWriteEngine2::WriteSection), 7},
      {"WriteEngine2 put_BytesPerSector", Slot(&IWriteEngine2::put_BytesPerSector), 17},
      {"WriteEngine2 get_WriteInProgress", Slot(&IWriteEngine2::get_WriteInProgress), 19},
      {"WriteEngine2EventArgs get_StartLba", Slot(&IWriteEngine2EventArgs::get_StartLba), 7},
      {"WriteEngine2EventArgs get_FreeSystemBuffer",
       Slot(&IWriteEngine2EventArgs::get_FreeSystemBuffer), 13},
      {"DiscFormat2RawCDEventArgs get_CurrentAction",
       Slot(&IDiscFormat2RawCDEventArgs::get_CurrentAction), 14},
      {"DiscFormat2RawCDEventArgs get_RemainingTime",
       Slot(&IDiscFormat2RawCDEventArgs::get_RemainingTime), 16},
      {"WriteSpeedDescriptor get_MediaType", Slot(&IWriteSpeedDescriptor::get_MediaType), 7},
      {"WriteSpeedDescriptor get_WriteSpeed", Slot(&IWriteSpeedDescriptor::get_WriteSpeed), 9},
  };
  for (const Row& r : rows) EXPECT_EQ(r.slot, r.expected) << r.member;
}

std::wstring Text(const GUID& g) {
  wchar_t s[40];
  StringFromGUID2(g, s, 40);
  return s;
}

TEST(Imapi2Declarations, IdsAreThePublishedOnes) {
  struct Row {
    GUID id;
    const wchar_t* text;
  };
  const Row rows[] = {
      {Imapi2::CLSID_MsftDiscMaster2, L"{2735412E-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::CLSID_MsftDiscRecorder2, L"{2735412D-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::CLSID_MsftWriteEngine2, L"{2735412C-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::CLSID_MsftDiscFormat2Erase, L"{2735412B-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::CLSID_MsftDiscFormat2RawCD, L"{27354128-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::LIBID_IMAPI2, L"{2735412F-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::DIID_DDiscFormat2EraseEvents, L"{2735413A-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::DIID_DDiscFormat2RawCDEvents, L"{27354142-7F64-5B0F-8F00-5D77AFBE261E}"},
      {Imapi2::DIID_DWriteEngine2Events, L"{27354137-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscMaster2), L"{27354130-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscRecorder2Ex), L"{27354132-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscRecorder2), L"{27354133-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IWriteEngine2), L"{27354135-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IWriteEngine2EventArgs), L"{27354136-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscFormat2RawCDEventArgs), L"{27354143-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IWriteSpeedDescriptor), L"{27354144-7F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscFormat2), L"{27354152-8F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscFormat2RawCD), L"{27354155-8F64-5B0F-8F00-5D77AFBE261E}"},
      {__uuidof(IDiscFormat2Erase), L"{27354156-8F64-5B0F-8F00-5D77AFBE261E}"},
  };
  for (const Row& r : rows) EXPECT_EQ(Text(r.id), r.text);
  static_assert(sizeof(BOOLEAN) == 1, "BOOLEAN arguments are one byte");
}

}  // namespace
