#pragma once
// The parts of the system's disc recording service (IMAPI2) that this program
// uses: the disc master and recorders, MMC pass-through, erase, the raw-CD
// writer, the write engine, write-speed descriptors and their event interfaces.
// Written from the public interface reference; the vtable order of every
// interface below is the published one and must never be changed.
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#include "common/CallingConvention.h"

// Every GUID of the service ends in the same eight bytes.
#define TAVRIN_IMAPI2_UUID(type, l, w1) \
  __CRT_UUID_DECL(type, l, w1, 0x5B0F, 0x8F, 0x00, 0x5D, 0x77, 0xAF, 0xBE, 0x26, 0x1E)

namespace Imapi2 {

constexpr GUID MakeGuid(unsigned long l, unsigned short w1) {
  return {l, w1, 0x5B0F, {0x8F, 0x00, 0x5D, 0x77, 0xAF, 0xBE, 0x26, 0x1E}};
}

// Classes.
constexpr CLSID CLSID_MsftDiscMaster2 = MakeGuid(0x2735412E, 0x7F64);
constexpr CLSID CLSID_MsftDiscRecorder2 = MakeGuid(0x2735412D, 0x7F64);
constexpr CLSID CLSID_MsftWriteEngine2 = MakeGuid(0x2735412C, 0x7F64);
constexpr CLSID CLSID_MsftDiscFormat2Erase = MakeGuid(0x2735412B, 0x7F64);
constexpr CLSID CLSID_MsftDiscFormat2RawCD = MakeGuid(0x27354128, 0x7F64);
// The service's type library, version 1.0.
constexpr GUID LIBID_IMAPI2 = MakeGuid(0x2735412F, 0x7F64);

// Event interfaces (dispatch only) and their member ids.
constexpr IID DIID_DDiscFormat2EraseEvents = MakeGuid(0x2735413A, 0x7F64);
constexpr IID DIID_DDiscFormat2RawCDEvents = MakeGuid(0x27354142, 0x7F64);
constexpr IID DIID_DWriteEngine2Events = MakeGuid(0x27354137, 0x7F64);
// Update(object, elapsed seconds, estimated total seconds)
constexpr DISPID DISPID_DDISCFORMAT2ERASEEVENTS_UPDATE = 0x200;
// Update(object, progress)
constexpr DISPID DISPID_DDISCFORMAT2RAWCDEVENTS_UPDATE = 0x200;
// Update(object, progress)
constexpr DISPID DISPID_DWRITEENGINE2EVENTS_UPDATE = 0x100;

enum IMAPI_MEDIA_PHYSICAL_TYPE {
  IMAPI_MEDIA_TYPE_UNKNOWN = 0,
  IMAPI_MEDIA_TYPE_CDROM = 1,
  IMAPI_MEDIA_TYPE_CDR = 2,
  IMAPI_MEDIA_TYPE_CDRW = 3,
  IMAPI_MEDIA_TYPE_DVDROM = 4,
  IMAPI_MEDIA_TYPE_DVDRAM = 5,
  IMAPI_MEDIA_TYPE_DVDPLUSR = 6,
  IMAPI_MEDIA_TYPE_DVDPLUSRW = 7,
  IMAPI_MEDIA_TYPE_DVDPLUSR_DUALLAYER = 8,
  IMAPI_MEDIA_TYPE_DVDDASHR = 9,
  IMAPI_MEDIA_TYPE_DVDDASHRW = 10,
  IMAPI_MEDIA_TYPE_DVDDASHR_DUALLAYER = 11,
  IMAPI_MEDIA_TYPE_DISK = 12,
  IMAPI_MEDIA_TYPE_DVDPLUSRW_DUALLAYER = 13,
  IMAPI_MEDIA_TYPE_HDDVDROM = 14,
  IMAPI_MEDIA_TYPE_HDDVDR = 15,
  IMAPI_MEDIA_TYPE_HDDVDRAM = 16,
  IMAPI_MEDIA_TYPE_BDROM = 17,
  IMAPI_MEDIA_TYPE_BDR = 18,
  IMAPI_MEDIA_TYPE_BDRE = 19,
};

enum IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE {
  IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY = 1,
  IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_COOKED = 2,
  IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW = 3,
};

enum IMAPI_FORMAT2_RAW_CD_WRITE_ACTION {
  IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_UNKNOWN = 0,
  IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_PREPARING = 1,
  IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_WRITING = 2,
  IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_FINISHING = 3,
};

enum IMAPI_READ_TRACK_ADDRESS_TYPE {
  IMAPI_READ_TRACK_ADDRESS_TYPE_LBA = 0,
  IMAPI_READ_TRACK_ADDRESS_TYPE_TRACK = 1,
  IMAPI_READ_TRACK_ADDRESS_TYPE_SESSION = 2,
};

enum IMAPI_MODE_PAGE_REQUEST_TYPE {
  IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES = 0,
  IMAPI_MODE_PAGE_REQUEST_TYPE_CHANGEABLE_VALUES = 1,
  IMAPI_MODE_PAGE_REQUEST_TYPE_DEFAULT_VALUES = 2,
  IMAPI_MODE_PAGE_REQUEST_TYPE_SAVED_VALUES = 3,
};

// Mode pages are passed by their MMC page code; the named ones are those used here.
enum IMAPI_MODE_PAGE_TYPE {
  IMAPI_MODE_PAGE_TYPE_READ_WRITE_ERROR_RECOVERY = 0x01,
  IMAPI_MODE_PAGE_TYPE_WRITE_PARAMETERS = 0x05,
  IMAPI_MODE_PAGE_TYPE_CACHING = 0x08,
  IMAPI_MODE_PAGE_TYPE_LEGACY_CAPABILITIES = 0x2A,
};

// Feature pages are passed by their MMC feature code.
enum IMAPI_FEATURE_PAGE_TYPE {
  IMAPI_FEATURE_PAGE_TYPE_PROFILE_LIST = 0x0000,
  IMAPI_FEATURE_PAGE_TYPE_CORE = 0x0001,
  IMAPI_FEATURE_PAGE_TYPE_CD_READ = 0x001E,
  IMAPI_FEATURE_PAGE_TYPE_CD_TRACK_AT_ONCE = 0x002D,
  IMAPI_FEATURE_PAGE_TYPE_CD_MASTERING = 0x002E,
  IMAPI_FEATURE_PAGE_TYPE_CD_RW_MEDIA_WRITE_SUPPORT = 0x0037,
};

// Profiles are passed by their MMC profile number.
enum IMAPI_PROFILE_TYPE {
  IMAPI_PROFILE_TYPE_INVALID = 0x0000,
  IMAPI_PROFILE_TYPE_CDROM = 0x0008,
  IMAPI_PROFILE_TYPE_CD_RECORDABLE = 0x0009,
  IMAPI_PROFILE_TYPE_CD_REWRITABLE = 0x000A,
  IMAPI_PROFILE_TYPE_NON_STANDARD = 0xFFFF,
};

// Result codes of the service (facility 0xAA).
constexpr HRESULT S_IMAPI_SPEEDADJUSTED = 0x00AA0004;
constexpr HRESULT S_IMAPI_ROTATIONADJUSTED = 0x00AA0005;
constexpr HRESULT S_IMAPI_BOTHADJUSTED = 0x00AA0006;
// The device answered CHECK CONDITION; the sense buffer says why. A success code.
constexpr HRESULT S_IMAPI_COMMAND_HAS_SENSE_DATA = 0x00AA0200;
constexpr HRESULT S_IMAPI_WRITE_NOT_IN_PROGRESS = 0x00AA0302;
constexpr HRESULT E_IMAPI_REQUEST_CANCELLED = static_cast<HRESULT>(0xC0AA0002);
constexpr HRESULT E_IMAPI_RECORDER_REQUIRED = static_cast<HRESULT>(0xC0AA0003);
constexpr HRESULT E_IMAPI_RECORDER_NO_SUCH_MODE_PAGE = static_cast<HRESULT>(0xC0AA0201);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_NO_MEDIA = static_cast<HRESULT>(0xC0AA0202);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_INCOMPATIBLE = static_cast<HRESULT>(0xC0AA0203);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_UPSIDE_DOWN = static_cast<HRESULT>(0xC0AA0204);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_BECOMING_READY = static_cast<HRESULT>(0xC0AA0205);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_FORMAT_IN_PROGRESS = static_cast<HRESULT>(0xC0AA0206);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_BUSY = static_cast<HRESULT>(0xC0AA0207);
constexpr HRESULT E_IMAPI_RECORDER_INVALID_MODE_PARAMETERS = static_cast<HRESULT>(0xC0AA0208);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_WRITE_PROTECTED = static_cast<HRESULT>(0xC0AA0209);
constexpr HRESULT E_IMAPI_RECORDER_NO_SUCH_FEATURE = static_cast<HRESULT>(0xC0AA020A);
constexpr HRESULT E_IMAPI_RECORDER_FEATURE_IS_NOT_CURRENT = static_cast<HRESULT>(0xC0AA020B);
constexpr HRESULT E_IMAPI_RECORDER_COMMAND_TIMEOUT = static_cast<HRESULT>(0xC0AA020D);
constexpr HRESULT E_IMAPI_RECORDER_DVD_STRUCTURE_NOT_PRESENT = static_cast<HRESULT>(0xC0AA020E);
constexpr HRESULT E_IMAPI_RECORDER_MEDIA_SPEED_MISMATCH = static_cast<HRESULT>(0xC0AA020F);
constexpr HRESULT E_IMAPI_RECORDER_INVALID_RESPONSE_FROM_DEVICE = static_cast<HRESULT>(0xC0AA02FF);
constexpr HRESULT E_IMAPI_LOSS_OF_STREAMING = static_cast<HRESULT>(0xC0AA0300);
constexpr HRESULT E_IMAPI_DF2RAW_WRITE_IN_PROGRESS = static_cast<HRESULT>(0xC0AA0600);
constexpr HRESULT E_IMAPI_DF2RAW_MEDIA_IS_NOT_PREPARED = static_cast<HRESULT>(0xC0AA0602);
constexpr HRESULT E_IMAPI_DF2RAW_MEDIA_IS_NOT_BLANK = static_cast<HRESULT>(0xC0AA0606);
constexpr HRESULT E_IMAPI_DF2RAW_NO_RECORDER_SPECIFIED = static_cast<HRESULT>(0xC0AA060A);
constexpr HRESULT E_IMAPI_DF2RAW_STREAM_NOT_SUPPORTED = static_cast<HRESULT>(0xC0AA060D);
constexpr HRESULT E_IMAPI_DF2RAW_STREAM_LEADIN_TOO_SHORT = static_cast<HRESULT>(0xC0AA060F);

// The sense buffer that every pass-through command fills.
constexpr ULONG kSenseSize = 18;

}  // namespace Imapi2

struct IDiscRecorder2;

// The disc master: the recorders of the machine, by unique id.
struct IDiscMaster2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IEnumVARIANT** ppunk) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsSupportedEnvironment(VARIANT_BOOL* value) = 0;
};
PIN_COM_METHOD(IDiscMaster2, get__NewEnum);
PIN_COM_METHOD(IDiscMaster2, get_Item);
PIN_COM_METHOD(IDiscMaster2, get_Count);
PIN_COM_METHOD(IDiscMaster2, get_IsSupportedEnvironment);
TAVRIN_IMAPI2_UUID(IDiscMaster2, 0x27354130, 0x7F64)

// One recorder.
struct IDiscRecorder2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE EjectMedia() = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseTray() = 0;
  virtual HRESULT STDMETHODCALLTYPE AcquireExclusiveAccess(VARIANT_BOOL force, BSTR clientName) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseExclusiveAccess() = 0;
  virtual HRESULT STDMETHODCALLTYPE DisableMcn() = 0;
  virtual HRESULT STDMETHODCALLTYPE EnableMcn() = 0;
  virtual HRESULT STDMETHODCALLTYPE InitializeDiscRecorder(BSTR recorderUniqueId) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveDiscRecorder(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VendorId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProductId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProductRevision(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VolumeName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VolumePathNames(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DeviceCanLoadMedia(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LegacyDeviceNumber(LONG* legacyDeviceNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedFeaturePages(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentFeaturePages(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedProfiles(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentProfiles(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedModePages(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExclusiveAccessOwner(BSTR* value) = 0;
};
PIN_COM_METHOD(IDiscRecorder2, EjectMedia);
PIN_COM_METHOD(IDiscRecorder2, CloseTray);
PIN_COM_METHOD(IDiscRecorder2, AcquireExclusiveAccess);
PIN_COM_METHOD(IDiscRecorder2, ReleaseExclusiveAccess);
PIN_COM_METHOD(IDiscRecorder2, DisableMcn);
PIN_COM_METHOD(IDiscRecorder2, EnableMcn);
PIN_COM_METHOD(IDiscRecorder2, InitializeDiscRecorder);
PIN_COM_METHOD(IDiscRecorder2, get_ActiveDiscRecorder);
PIN_COM_METHOD(IDiscRecorder2, get_VendorId);
PIN_COM_METHOD(IDiscRecorder2, get_ProductId);
PIN_COM_METHOD(IDiscRecorder2, get_ProductRevision);
PIN_COM_METHOD(IDiscRecorder2, get_VolumeName);
PIN_COM_METHOD(IDiscRecorder2, get_VolumePathNames);
PIN_COM_METHOD(IDiscRecorder2, get_DeviceCanLoadMedia);
PIN_COM_METHOD(IDiscRecorder2, get_LegacyDeviceNumber);
PIN_COM_METHOD(IDiscRecorder2, get_SupportedFeaturePages);
PIN_COM_METHOD(IDiscRecorder2, get_CurrentFeaturePages);
PIN_COM_METHOD(IDiscRecorder2, get_SupportedProfiles);
PIN_COM_METHOD(IDiscRecorder2, get_CurrentProfiles);
PIN_COM_METHOD(IDiscRecorder2, get_SupportedModePages);
PIN_COM_METHOD(IDiscRecorder2, get_ExclusiveAccessOwner);
TAVRIN_IMAPI2_UUID(IDiscRecorder2, 0x27354133, 0x7F64)

// The recorder's low-level side. Based on IUnknown, not IDispatch. Buffers
// returned through BYTE** (and the other pointer-to-array outputs) are freed
// by the caller with CoTaskMemFree. BOOLEAN is one byte.
struct IDiscRecorder2Ex : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SendCommandNoData(BYTE* cdb, ULONG cdbSize,
                                                      BYTE senseBuffer[18], ULONG timeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendCommandSendDataToDevice(BYTE* cdb, ULONG cdbSize,
                                                                BYTE senseBuffer[18], ULONG timeout,
                                                                BYTE* buffer, ULONG bufferSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendCommandGetDataFromDevice(BYTE* cdb, ULONG cdbSize,
                                                                 BYTE senseBuffer[18],
                                                                 ULONG timeout, BYTE* buffer,
                                                                 ULONG bufferSize,
                                                                 ULONG* bufferFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadDvdStructure(ULONG format, ULONG address, ULONG layer,
                                                     ULONG agid, BYTE** data, ULONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendDvdStructure(ULONG format, BYTE* data, ULONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAdapterDescriptor(BYTE** data, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceDescriptor(BYTE** data, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDiscInformation(BYTE** discInformation, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetTrackInformation(ULONG address, Imapi2::IMAPI_READ_TRACK_ADDRESS_TYPE addressType,
                      BYTE** trackInformation, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFeaturePage(Imapi2::IMAPI_FEATURE_PAGE_TYPE requested,
                                                   BOOLEAN currentFeatureOnly, BYTE** featureData,
                                                   ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetModePage(Imapi2::IMAPI_MODE_PAGE_TYPE requested,
                                                Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE requestType,
                                                BYTE** modePageData, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE requestType,
                                                BYTE* data, ULONG byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetSupportedFeaturePages(BOOLEAN currentFeatureOnly,
                           Imapi2::IMAPI_FEATURE_PAGE_TYPE** featureData, ULONG* byteSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSupportedProfiles(BOOLEAN currentOnly,
                                                         Imapi2::IMAPI_PROFILE_TYPE** profileTypes,
                                                         ULONG* validProfiles) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetSupportedModePages(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE requestType,
                        Imapi2::IMAPI_MODE_PAGE_TYPE** modePageTypes, ULONG* validPages) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetByteAlignmentMask(ULONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaximumNonPageAlignedTransferSize(ULONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaximumPageAlignedTransferSize(ULONG* value) = 0;
};
PIN_COM_METHOD(IDiscRecorder2Ex, SendCommandNoData);
PIN_COM_METHOD(IDiscRecorder2Ex, SendCommandSendDataToDevice);
PIN_COM_METHOD(IDiscRecorder2Ex, SendCommandGetDataFromDevice);
PIN_COM_METHOD(IDiscRecorder2Ex, ReadDvdStructure);
PIN_COM_METHOD(IDiscRecorder2Ex, SendDvdStructure);
PIN_COM_METHOD(IDiscRecorder2Ex, GetAdapterDescriptor);
PIN_COM_METHOD(IDiscRecorder2Ex, GetDeviceDescriptor);
PIN_COM_METHOD(IDiscRecorder2Ex, GetDiscInformation);
PIN_COM_METHOD(IDiscRecorder2Ex, GetTrackInformation);
PIN_COM_METHOD(IDiscRecorder2Ex, GetFeaturePage);
PIN_COM_METHOD(IDiscRecorder2Ex, GetModePage);
PIN_COM_METHOD(IDiscRecorder2Ex, SetModePage);
PIN_COM_METHOD(IDiscRecorder2Ex, GetSupportedFeaturePages);
PIN_COM_METHOD(IDiscRecorder2Ex, GetSupportedProfiles);
PIN_COM_METHOD(IDiscRecorder2Ex, GetSupportedModePages);
PIN_COM_METHOD(IDiscRecorder2Ex, GetByteAlignmentMask);
PIN_COM_METHOD(IDiscRecorder2Ex, GetMaximumNonPageAlignedTransferSize);
PIN_COM_METHOD(IDiscRecorder2Ex, GetMaximumPageAlignedTransferSize);
TAVRIN_IMAPI2_UUID(IDiscRecorder2Ex, 0x27354132, 0x7F64)

// What every disc format (erase, raw-CD writer) has in common.
struct IDiscFormat2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE IsRecorderSupported(IDiscRecorder2* recorder,
                                                        VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsCurrentMediaSupported(IDiscRecorder2* recorder,
                                                            VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MediaPhysicallyBlank(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MediaHeuristicallyBlank(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedMediaTypes(SAFEARRAY** value) = 0;
};
PIN_COM_METHOD(IDiscFormat2, IsRecorderSupported);
PIN_COM_METHOD(IDiscFormat2, IsCurrentMediaSupported);
PIN_COM_METHOD(IDiscFormat2, get_MediaPhysicallyBlank);
PIN_COM_METHOD(IDiscFormat2, get_MediaHeuristicallyBlank);
PIN_COM_METHOD(IDiscFormat2, get_SupportedMediaTypes);
TAVRIN_IMAPI2_UUID(IDiscFormat2, 0x27354152, 0x8F64)

struct IDiscFormat2Erase : public IDiscFormat2 {
  virtual HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FullErase(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FullErase(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ClientName(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ClientName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE EraseMedia() = 0;
};
PIN_COM_METHOD(IDiscFormat2Erase, put_Recorder);
PIN_COM_METHOD(IDiscFormat2Erase, get_Recorder);
PIN_COM_METHOD(IDiscFormat2Erase, put_FullErase);
PIN_COM_METHOD(IDiscFormat2Erase, get_FullErase);
PIN_COM_METHOD(IDiscFormat2Erase, get_CurrentPhysicalMediaType);
PIN_COM_METHOD(IDiscFormat2Erase, put_ClientName);
PIN_COM_METHOD(IDiscFormat2Erase, get_ClientName);
PIN_COM_METHOD(IDiscFormat2Erase, EraseMedia);
TAVRIN_IMAPI2_UUID(IDiscFormat2Erase, 0x27354156, 0x8F64)

// The raw (disc-at-once) CD writer.
struct IDiscFormat2RawCD : public IDiscFormat2 {
  virtual HRESULT STDMETHODCALLTYPE PrepareMedia() = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteMedia(IStream* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteMedia2(IStream* data, LONG streamLeadInSectors) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelWrite() = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseMedia() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWriteSpeed(LONG requestedSectorsPerSecond,
                                                  VARIANT_BOOL rotationTypeIsPureCAV) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BufferUnderrunFreeDisabled(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BufferUnderrunFreeDisabled(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StartOfNextSession(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastPossibleStartOfLeadout(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedSectorTypes(SAFEARRAY** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ClientName(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ClientName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RequestedWriteSpeed(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RequestedRotationTypeIsPureCAV(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentWriteSpeed(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentRotationTypeIsPureCAV(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SupportedWriteSpeeds(SAFEARRAY** supportedSpeeds) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_SupportedWriteSpeedDescriptors(SAFEARRAY** supportedSpeedDescriptors) = 0;
};
PIN_COM_METHOD(IDiscFormat2RawCD, PrepareMedia);
PIN_COM_METHOD(IDiscFormat2RawCD, WriteMedia);
PIN_COM_METHOD(IDiscFormat2RawCD, WriteMedia2);
PIN_COM_METHOD(IDiscFormat2RawCD, CancelWrite);
PIN_COM_METHOD(IDiscFormat2RawCD, ReleaseMedia);
PIN_COM_METHOD(IDiscFormat2RawCD, SetWriteSpeed);
PIN_COM_METHOD(IDiscFormat2RawCD, put_Recorder);
PIN_COM_METHOD(IDiscFormat2RawCD, get_Recorder);
PIN_COM_METHOD(IDiscFormat2RawCD, put_BufferUnderrunFreeDisabled);
PIN_COM_METHOD(IDiscFormat2RawCD, get_BufferUnderrunFreeDisabled);
PIN_COM_METHOD(IDiscFormat2RawCD, get_StartOfNextSession);
PIN_COM_METHOD(IDiscFormat2RawCD, get_LastPossibleStartOfLeadout);
PIN_COM_METHOD(IDiscFormat2RawCD, get_CurrentPhysicalMediaType);
PIN_COM_METHOD(IDiscFormat2RawCD, get_SupportedSectorTypes);
PIN_COM_METHOD(IDiscFormat2RawCD, put_RequestedSectorType);
PIN_COM_METHOD(IDiscFormat2RawCD, get_RequestedSectorType);
PIN_COM_METHOD(IDiscFormat2RawCD, put_ClientName);
PIN_COM_METHOD(IDiscFormat2RawCD, get_ClientName);
PIN_COM_METHOD(IDiscFormat2RawCD, get_RequestedWriteSpeed);
PIN_COM_METHOD(IDiscFormat2RawCD, get_RequestedRotationTypeIsPureCAV);
PIN_COM_METHOD(IDiscFormat2RawCD, get_CurrentWriteSpeed);
PIN_COM_METHOD(IDiscFormat2RawCD, get_CurrentRotationTypeIsPureCAV);
PIN_COM_METHOD(IDiscFormat2RawCD, get_SupportedWriteSpeeds);
PIN_COM_METHOD(IDiscFormat2RawCD, get_SupportedWriteSpeedDescriptors);
TAVRIN_IMAPI2_UUID(IDiscFormat2RawCD, 0x27354155, 0x8F64)

// Writes sectors from a stream through a recorder's pass-through side.
struct IWriteEngine2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE WriteSection(IStream* data, LONG startingBlockAddress,
                                                 LONG numberOfBlocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelWrite() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2Ex* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2Ex** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UseStreamingWrite12(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UseStreamingWrite12(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_StartingSectorsPerSecond(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StartingSectorsPerSecond(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_EndingSectorsPerSecond(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EndingSectorsPerSecond(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BytesPerSector(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BytesPerSector(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WriteInProgress(VARIANT_BOOL* value) = 0;
};
PIN_COM_METHOD(IWriteEngine2, WriteSection);
PIN_COM_METHOD(IWriteEngine2, CancelWrite);
PIN_COM_METHOD(IWriteEngine2, put_Recorder);
PIN_COM_METHOD(IWriteEngine2, get_Recorder);
PIN_COM_METHOD(IWriteEngine2, put_UseStreamingWrite12);
PIN_COM_METHOD(IWriteEngine2, get_UseStreamingWrite12);
PIN_COM_METHOD(IWriteEngine2, put_StartingSectorsPerSecond);
PIN_COM_METHOD(IWriteEngine2, get_StartingSectorsPerSecond);
PIN_COM_METHOD(IWriteEngine2, put_EndingSectorsPerSecond);
PIN_COM_METHOD(IWriteEngine2, get_EndingSectorsPerSecond);
PIN_COM_METHOD(IWriteEngine2, put_BytesPerSector);
PIN_COM_METHOD(IWriteEngine2, get_BytesPerSector);
PIN_COM_METHOD(IWriteEngine2, get_WriteInProgress);
TAVRIN_IMAPI2_UUID(IWriteEngine2, 0x27354135, 0x7F64)

// The progress argument of the write engine's Update event.
struct IWriteEngine2EventArgs : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_StartLba(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SectorCount(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastReadLba(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastWrittenLba(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TotalSystemBuffer(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UsedSystemBuffer(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FreeSystemBuffer(LONG* value) = 0;
};
PIN_COM_METHOD(IWriteEngine2EventArgs, get_StartLba);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_SectorCount);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_LastReadLba);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_LastWrittenLba);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_TotalSystemBuffer);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_UsedSystemBuffer);
PIN_COM_METHOD(IWriteEngine2EventArgs, get_FreeSystemBuffer);
TAVRIN_IMAPI2_UUID(IWriteEngine2EventArgs, 0x27354136, 0x7F64)

// The progress argument of the raw-CD writer's Update event.
struct IDiscFormat2RawCDEventArgs : public IWriteEngine2EventArgs {
  virtual HRESULT STDMETHODCALLTYPE
  get_CurrentAction(Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ElapsedTime(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RemainingTime(LONG* value) = 0;
};
PIN_COM_METHOD(IDiscFormat2RawCDEventArgs, get_CurrentAction);
PIN_COM_METHOD(IDiscFormat2RawCDEventArgs, get_ElapsedTime);
PIN_COM_METHOD(IDiscFormat2RawCDEventArgs, get_RemainingTime);
TAVRIN_IMAPI2_UUID(IDiscFormat2RawCDEventArgs, 0x27354143, 0x7F64)

struct IWriteSpeedDescriptor : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_MediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RotationTypeIsPureCAV(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WriteSpeed(LONG* value) = 0;
};
PIN_COM_METHOD(IWriteSpeedDescriptor, get_MediaType);
PIN_COM_METHOD(IWriteSpeedDescriptor, get_RotationTypeIsPureCAV);
PIN_COM_METHOD(IWriteSpeedDescriptor, get_WriteSpeed);
TAVRIN_IMAPI2_UUID(IWriteSpeedDescriptor, 0x27354144, 0x7F64)

#undef TAVRIN_IMAPI2_UUID
