#pragma once
// The parts of Windows Image Acquisition (WIA 1) that this program and its
// test scanner use: the device manager, items with their property storage,
// banded data transfer and its callback. Written from the public interface
// reference; the vtable order of every interface below is the published one
// and must never be changed.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <propidl.h>

#include "common/CallingConvention.h"

namespace Wia {

// {a1f4e726-8cf1-11d1-bf92-0060081ed811}
constexpr CLSID CLSID_WiaDevMgr = {
    0xa1f4e726, 0x8cf1, 0x11d1, {0xbf, 0x92, 0x00, 0x60, 0x08, 0x1e, 0xd8, 0x11}};

// Transfer formats.
constexpr GUID WiaImgFmt_MEMORYBMP = {
    0xb96b3caa, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
constexpr GUID WiaImgFmt_BMP = {
    0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
constexpr GUID WiaImgFmt_JPEG = {
    0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

// Device types (the high word of WIA_DIP_DEV_TYPE).
constexpr LONG StiDeviceTypeDefault = 0;
constexpr LONG StiDeviceTypeScanner = 1;
constexpr LONG StiDeviceTypeDigitalCamera = 2;

// Dialog flags.
constexpr LONG WIA_SELECT_DEVICE_NODEFAULT = 0x00000001;
constexpr LONG WIA_DEVICE_DIALOG_SINGLE_IMAGE = 0x00000002;

// Intents.
constexpr LONG WIA_INTENT_NONE = 0;

// Device information properties.
constexpr PROPID WIA_DIP_DEV_ID = 2;
constexpr PROPID WIA_DIP_VEND_DESC = 3;
constexpr PROPID WIA_DIP_DEV_DESC = 4;
constexpr PROPID WIA_DIP_DEV_TYPE = 5;
constexpr PROPID WIA_DIP_DEV_NAME = 7;

// Item properties.
constexpr PROPID WIA_IPA_ITEM_NAME = 4098;
constexpr PROPID WIA_IPA_ITEM_FLAGS = 4101;
constexpr PROPID WIA_IPA_DEPTH = 4104;
constexpr PROPID WIA_IPA_FORMAT = 4106;
constexpr PROPID WIA_IPA_TYMED = 4108;
constexpr PROPID WIA_IPA_PIXELS_PER_LINE = 4112;
constexpr PROPID WIA_IPA_NUMBER_OF_LINES = 4114;
constexpr PROPID WIA_IPA_BUFFER_SIZE = 4118;

// Item types (flags of GetItemType and WIA_IPA_ITEM_FLAGS).
constexpr LONG WiaItemTypeFile = 0x00000002;
constexpr LONG WiaItemTypeRoot = 0x00000008;
constexpr LONG WiaItemTypeImage = 0x00000010;
constexpr LONG WiaItemTypeDevice = 0x00000040;

// The medium of a callback transfer (TYMED_CALLBACK).
constexpr LONG TYMED_CALLBACK = 128;

// Messages and status bits of IWiaDataCallback::BandedDataCallback.
constexpr LONG IT_MSG_DATA_HEADER = 0x0001;
constexpr LONG IT_MSG_DATA = 0x0002;
constexpr LONG IT_MSG_STATUS = 0x0003;
constexpr LONG IT_MSG_TERMINATION = 0x0004;
constexpr LONG IT_MSG_NEW_PAGE = 0x0005;
constexpr LONG IT_STATUS_TRANSFER_FROM_DEVICE = 0x0001;
constexpr LONG IT_STATUS_PROCESSING_DATA = 0x0002;
constexpr LONG IT_STATUS_TRANSFER_TO_CLIENT = 0x0004;

// Errors (facility 33).
constexpr HRESULT WIA_ERROR_PAPER_JAM = HRESULT(0x80210002);
constexpr HRESULT WIA_ERROR_PAPER_EMPTY = HRESULT(0x80210003);
constexpr HRESULT WIA_ERROR_BUSY = HRESULT(0x80210006);
constexpr HRESULT WIA_S_NO_DEVICE_AVAILABLE = HRESULT(0x80210015);

}  // namespace Wia

// What the transfer asks of idtGetBandedData (28 bytes).
struct WIA_DATA_TRANSFER_INFO {
  ULONG ulSize;
  ULONG ulSection;
  ULONG ulBufferSize;
  BOOL bDoubleBuffer;
  ULONG ulReserved1;
  ULONG ulReserved2;
  ULONG ulReserved3;
};
static_assert(sizeof(WIA_DATA_TRANSFER_INFO) == 28, "published layout");

// The buffer of IT_MSG_DATA_HEADER (28 bytes).
struct WIA_DATA_CALLBACK_HEADER {
  LONG lSize;
  GUID guidFormatID;
  LONG lBufferSize;
  LONG lPageCount;
};
static_assert(sizeof(WIA_DATA_CALLBACK_HEADER) == 28, "published layout");

struct WIA_FORMAT_INFO {
  GUID guidFormatID;
  LONG lTymed;
};

struct WIA_EXTENDED_TRANSFER_INFO {
  ULONG ulSize;
  ULONG ulMinBufferSize;
  ULONG ulOptimalBufferSize;
  ULONG ulMaxBufferSize;
  ULONG ulNumBuffers;
};

struct IWiaItem;
struct IWiaPropertyStorage;
struct IEnumWiaItem;
struct IEnumWIA_DEV_CAPS;
struct IEnumWIA_FORMAT_INFO;
struct IWiaEventCallback;

// The devices of the machine, as property storages.
struct IEnumWIA_DEV_INFO : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IWiaPropertyStorage** rgelt,
                                         ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumWIA_DEV_INFO** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) = 0;
};
PIN_COM_METHOD(IEnumWIA_DEV_INFO, Next);
PIN_COM_METHOD(IEnumWIA_DEV_INFO, Skip);
PIN_COM_METHOD(IEnumWIA_DEV_INFO, Reset);
PIN_COM_METHOD(IEnumWIA_DEV_INFO, Clone);
PIN_COM_METHOD(IEnumWIA_DEV_INFO, GetCount);
__CRT_UUID_DECL(IEnumWIA_DEV_INFO, 0x5e38b83c, 0x8cf1, 0x11d1, 0xbf, 0x92, 0x00, 0x60, 0x08, 0x1e,
                0xd8, 0x11)

struct IWiaDevMgr : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG lFlag, IEnumWIA_DEV_INFO** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND hwndParent, LONG lDeviceType, LONG lFlags,
                                                    BSTR* pbstrDeviceID, IWiaItem** ppItemRoot) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND hwndParent, LONG lDeviceType,
                                                      LONG lFlags, BSTR* pbstrDeviceID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImageDlg(HWND hwndParent, LONG lDeviceType, LONG lFlags,
                                                LONG lIntent, IWiaItem* pItemRoot,
                                                BSTR bstrFilename, GUID* pguidFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(
      LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, BSTR bstrCommandline, BSTR bstrName,
      BSTR bstrDescription, BSTR bstrIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(
      LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, IWiaEventCallback* pIWiaEventCallback,
      IUnknown** pEventObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG lFlags, BSTR bstrDeviceID,
                                                               const GUID* pEventGUID,
                                                               const GUID* pClsID, BSTR bstrName,
                                                               BSTR bstrDescription,
                                                               BSTR bstrIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND hwndParent, LONG lFlags) = 0;
};
PIN_COM_METHOD(IWiaDevMgr, EnumDeviceInfo);
PIN_COM_METHOD(IWiaDevMgr, CreateDevice);
PIN_COM_METHOD(IWiaDevMgr, SelectDeviceDlg);
PIN_COM_METHOD(IWiaDevMgr, SelectDeviceDlgID);
PIN_COM_METHOD(IWiaDevMgr, GetImageDlg);
PIN_COM_METHOD(IWiaDevMgr, RegisterEventCallbackProgram);
PIN_COM_METHOD(IWiaDevMgr, RegisterEventCallbackInterface);
PIN_COM_METHOD(IWiaDevMgr, RegisterEventCallbackCLSID);
PIN_COM_METHOD(IWiaDevMgr, AddDeviceDlg);
__CRT_UUID_DECL(IWiaDevMgr, 0x5eb2502a, 0x8cf1, 0x11d1, 0xbf, 0x92, 0x00, 0x60, 0x08, 0x1e, 0xd8,
                0x11)

struct IWiaItem : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetItemType(LONG* pItemType) = 0;
  virtual HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG lFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem** ppIEnumWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteItem(LONG lFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateChildItem(LONG lFlags, BSTR bstrItemName,
                                                    BSTR bstrFullItemName,
                                                    IWiaItem** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG lFlags, const GUID* pEventGUID,
                                                          IEnumWIA_DEV_CAPS** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindItemByName(LONG lFlags, BSTR bstrFullItemName,
                                                   IWiaItem** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeviceDlg(HWND hwndParent, LONG lFlags, LONG lIntent,
                                              LONG* plItemCount, IWiaItem*** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeviceCommand(LONG lFlags, const GUID* pCmdGUID,
                                                  IWiaItem** pIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem** ppIWiaItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  EnumDeviceCapabilities(LONG lFlags, IEnumWIA_DEV_CAPS** ppIEnumWIA_DEV_CAPS) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR* bstrData) = 0;
  virtual HRESULT STDMETHODCALLTYPE Diagnostic(ULONG ulSize, BYTE* pBuffer) = 0;
};
PIN_COM_METHOD(IWiaItem, GetItemType);
PIN_COM_METHOD(IWiaItem, AnalyzeItem);
PIN_COM_METHOD(IWiaItem, EnumChildItems);
PIN_COM_METHOD(IWiaItem, DeleteItem);
PIN_COM_METHOD(IWiaItem, CreateChildItem);
PIN_COM_METHOD(IWiaItem, EnumRegisterEventInfo);
PIN_COM_METHOD(IWiaItem, FindItemByName);
PIN_COM_METHOD(IWiaItem, DeviceDlg);
PIN_COM_METHOD(IWiaItem, DeviceCommand);
PIN_COM_METHOD(IWiaItem, GetRootItem);
PIN_COM_METHOD(IWiaItem, EnumDeviceCapabilities);
PIN_COM_METHOD(IWiaItem, DumpItemData);
PIN_COM_METHOD(IWiaItem, DumpDrvItemData);
PIN_COM_METHOD(IWiaItem, DumpTreeItemData);
PIN_COM_METHOD(IWiaItem, Diagnostic);
__CRT_UUID_DECL(IWiaItem, 0x4db1ad10, 0x3391, 0x11d2, 0x9a, 0x33, 0x00, 0xc0, 0x4f, 0xa3, 0x61,
                0x45)

struct IEnumWiaItem : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IWiaItem** ppIWiaItem,
                                         ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumWiaItem** ppIEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* celt) = 0;
};
PIN_COM_METHOD(IEnumWiaItem, Next);
PIN_COM_METHOD(IEnumWiaItem, Skip);
PIN_COM_METHOD(IEnumWiaItem, Reset);
PIN_COM_METHOD(IEnumWiaItem, Clone);
PIN_COM_METHOD(IEnumWiaItem, GetCount);
__CRT_UUID_DECL(IEnumWiaItem, 0x5e8383fc, 0x3391, 0x11d2, 0x9a, 0x33, 0x00, 0xc0, 0x4f, 0xa3, 0x61,
                0x45)

struct IWiaPropertyStorage : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                                 PROPVARIANT rgpropvar[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                                  const PROPVARIANT rgpropvar[],
                                                  PROPID propidNameFirst) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG cpspec, const PROPSPEC rgpspec[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                                      LPOLESTR rglpwstrName[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG cpropid, const PROPID rgpropid[],
                                                       const LPOLESTR rglpwstrName[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG cpropid, const PROPID rgpropid[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
  virtual HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** ppenum) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME* pctime, const FILETIME* patime,
                                             const FILETIME* pmtime) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* pstatpsstg) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG cpspec, PROPSPEC rgpspec[],
                                                          ULONG rgflags[],
                                                          PROPVARIANT rgpropvar[]) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* pulNumProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID* pCompatibilityId,
                                                      IStream** ppIStream) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID* pCompatibilityId,
                                                      IStream* pIStream) = 0;
};
PIN_COM_METHOD(IWiaPropertyStorage, ReadMultiple);
PIN_COM_METHOD(IWiaPropertyStorage, WriteMultiple);
PIN_COM_METHOD(IWiaPropertyStorage, DeleteMultiple);
PIN_COM_METHOD(IWiaPropertyStorage, ReadPropertyNames);
PIN_COM_METHOD(IWiaPropertyStorage, WritePropertyNames);
PIN_COM_METHOD(IWiaPropertyStorage, DeletePropertyNames);
PIN_COM_METHOD(IWiaPropertyStorage, Commit);
PIN_COM_METHOD(IWiaPropertyStorage, Revert);
PIN_COM_METHOD(IWiaPropertyStorage, Enum);
PIN_COM_METHOD(IWiaPropertyStorage, SetTimes);
PIN_COM_METHOD(IWiaPropertyStorage, SetClass);
PIN_COM_METHOD(IWiaPropertyStorage, Stat);
PIN_COM_METHOD(IWiaPropertyStorage, GetPropertyAttributes);
PIN_COM_METHOD(IWiaPropertyStorage, GetCount);
PIN_COM_METHOD(IWiaPropertyStorage, GetPropertyStream);
PIN_COM_METHOD(IWiaPropertyStorage, SetPropertyStream);
__CRT_UUID_DECL(IWiaPropertyStorage, 0x98b5e8a0, 0x29cc, 0x491a, 0xaa, 0xc0, 0xe6, 0xdb, 0x4f, 0xdc,
                0xce, 0xb6)

// Receives the bands of a transfer.
struct IWiaDataCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG lMessage, LONG lStatus,
                                                       LONG lPercentComplete, LONG lOffset,
                                                       LONG lLength, LONG lReserved,
                                                       LONG lResLength, BYTE* pbBuffer) = 0;
};
PIN_COM_METHOD(IWiaDataCallback, BandedDataCallback);
__CRT_UUID_DECL(IWiaDataCallback, 0xa558a866, 0xa5b0, 0x11d2, 0xa0, 0x8f, 0x00, 0xc0, 0x4f, 0x72,
                0xdc, 0x3c)

struct IWiaDataTransfer : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE idtGetData(STGMEDIUM* pMedium,
                                               IWiaDataCallback* pIWiaDataCallback) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtGetBandedData(WIA_DATA_TRANSFER_INFO* pWiaDataTransInfo,
                                                     IWiaDataCallback* pIWiaDataCallback) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtQueryGetData(WIA_FORMAT_INFO* pfe) = 0;
  virtual HRESULT STDMETHODCALLTYPE idtEnumWIA_FORMAT_INFO(IEnumWIA_FORMAT_INFO** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  idtGetExtendedTransferInfo(WIA_EXTENDED_TRANSFER_INFO* pExtendedTransferInfo) = 0;
};
PIN_COM_METHOD(IWiaDataTransfer, idtGetData);
PIN_COM_METHOD(IWiaDataTransfer, idtGetBandedData);
PIN_COM_METHOD(IWiaDataTransfer, idtQueryGetData);
PIN_COM_METHOD(IWiaDataTransfer, idtEnumWIA_FORMAT_INFO);
PIN_COM_METHOD(IWiaDataTransfer, idtGetExtendedTransferInfo);
__CRT_UUID_DECL(IWiaDataTransfer, 0xa6cef998, 0xa5b0, 0x11d2, 0xa0, 0x8f, 0x00, 0xc0, 0x4f, 0x72,
                0xdc, 0x3c)
