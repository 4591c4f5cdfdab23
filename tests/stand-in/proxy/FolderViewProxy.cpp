// standin_proxy.dll: a proxy and a stub for IFolderView and IEnumIDList, so that the item ID lists
// of the stand-in's folder view reach another process whole. Wine's own proxy for them carries
// only the first bytes of each list; a stand-in that serves its folder view registers this one for
// the test prefix. Test fixture only; never shipped.
//
// Requests and replies are runs of fixed-size little-endian fields, the same in 32- and 64-bit
// processes: u32 and i32 in four bytes, a GUID in its sixteen, an item ID list as a u32 byte count
// (0: none) and the whole list up to and including its terminator, an interface as a u32 byte count
// and its marshalled reference. A reply starts with the method's HRESULT and carries the method's
// out values only when it succeeded. Every count and length read from a buffer is bounded first.
// The methods a caller of the desktop's folder view needs are carried; the others answer E_NOTIMPL.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/ScopedWin.h"
#include "tests/stand-in/proxy/ProxyClsid.h"

namespace {

using iv::ComPtr;

constexpr uint32_t kMaxIdListBytes = 0x10000;
// Item ID lists in one Next or SelectAndPositionItems.
constexpr uint32_t kMaxItems = 0x10000;
constexpr uint32_t kMaxReferenceBytes = 0x10000;
// Larger than any bound: what a writer sends for a list it will not carry, which every reader refuses.
constexpr uint32_t kOverlong = 0xFFFFFFFF;

// The vtable slots carried; IUnknown's three come first.
enum FolderViewMethod : ULONG {
    kItem = 6,
    kItemCount = 7,
    kItems = 8,
    kGetItemPosition = 11,
    kGetSpacing = 12,
    kGetDefaultSpacing = 13,
    kGetAutoArrange = 14,
    kSelectAndPositionItems = 16,
    kFolderViewMethods = 17,
};
enum EnumMethod : ULONG { kNext = 3, kSkip = 4, kReset = 5, kClone = 6, kEnumMethods = 7 };

std::atomic<long> liveObjects{0};

struct TaskMemFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};
using IdList = std::unique_ptr<ITEMIDLIST, TaskMemFree>;

// The bytes of a list of this process up to and including its terminator, or kOverlong.
uint32_t ListSize(PCUIDLIST_RELATIVE list) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(list);
    for (uint32_t at = 0;;) {
        uint16_t cb = 0;
        memcpy(&cb, bytes + at, sizeof cb);
        if (cb == 0) return at + 2;
        at += cb;
        if (at > kMaxIdListBytes - 2) return kOverlong;
    }
}

// Whether `size` bytes are exactly one list: items that each count at least their own count, then
// the terminator.
bool WellFormed(const uint8_t* bytes, uint32_t size) {
    for (uint32_t at = 0;;) {
        if (size - at < 2) return false;
        const uint32_t cb = bytes[at] | static_cast<uint32_t>(bytes[at + 1]) << 8;
        if (cb == 0) return at + 2 == size;
        if (cb < 2 || cb > size - at) return false;
        at += cb;
    }
}

class Writer {
public:
    void U32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(value >> shift));
    }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void Guid(const GUID& guid) {
        U32(guid.Data1);
        U32(guid.Data2 | static_cast<uint32_t>(guid.Data3) << 16);
        Raw(guid.Data4, sizeof guid.Data4);
    }
    void Raw(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
    }
    void List(PCUIDLIST_RELATIVE list) {
        const uint32_t size = list == nullptr ? 0 : ListSize(list);
        U32(size);
        if (size != kOverlong) Raw(list, size);
    }
    void Point(const POINT& point) {
        I32(point.x);
        I32(point.y);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Reads fields off a buffer; each read fails, and leaves the rest unread, when the buffer ends
// before the field does.
class Reader {
public:
    Reader(const void* data, ULONG size) : at_(static_cast<const uint8_t*>(data)), left_(data != nullptr ? size : 0) {}

    bool U32(uint32_t& value) {
        const uint8_t* bytes = nullptr;
        if (!Span(4, bytes)) return false;
        value = bytes[0] | static_cast<uint32_t>(bytes[1]) << 8 | static_cast<uint32_t>(bytes[2]) << 16 |
                static_cast<uint32_t>(bytes[3]) << 24;
        return true;
    }
    bool I32(int32_t& value) {
        uint32_t raw = 0;
        if (!U32(raw)) return false;
        value = static_cast<int32_t>(raw);
        return true;
    }
    bool Guid(GUID& guid) {
        uint32_t first = 0;
        uint32_t words = 0;
        const uint8_t* tail = nullptr;
        if (!U32(first) || !U32(words) || !Span(sizeof guid.Data4, tail)) return false;
        guid.Data1 = first;
        guid.Data2 = static_cast<uint16_t>(words);
        guid.Data3 = static_cast<uint16_t>(words >> 16);
        memcpy(guid.Data4, tail, sizeof guid.Data4);
        return true;
    }
    bool Point(POINT& point) {
        int32_t x = 0;
        int32_t y = 0;
        if (!I32(x) || !I32(y)) return false;
        point = {x, y};
        return true;
    }
    // A whole, well-formed list, copied into memory of CoTaskMemAlloc's; none for a count of 0.
    bool List(IdList& list) {
        uint32_t size = 0;
        const uint8_t* bytes = nullptr;
        if (!U32(size)) return false;
        if (size == 0) {
            list.reset();
            return true;
        }
        if (size > kMaxIdListBytes || !Span(size, bytes) || !WellFormed(bytes, size)) return false;
        list.reset(static_cast<ITEMIDLIST*>(CoTaskMemAlloc(size)));
        if (!list) return false;
        memcpy(list.get(), bytes, size);
        return true;
    }
    bool Span(uint32_t size, const uint8_t*& bytes) {
        if (size > left_) return false;
        bytes = at_;
        at_ += size;
        left_ -= size;
        return true;
    }
    size_t Left() const { return left_; }
    bool AtEnd() const { return left_ == 0; }

private:
    const uint8_t* at_;
    size_t left_;
};

// A reply being built, and the interface marshalled into it, whose reference is taken back when
// the reply cannot be sent.
struct Reply {
    Writer data;
    ComPtr<IStream> marshalled;

    void Result(HRESULT hr) { data.I32(hr); }
    void Abandon() {
        if (!marshalled) return;
        const LARGE_INTEGER start = {};
        marshalled->Seek(start, STREAM_SEEK_SET, nullptr);
        CoReleaseMarshalData(marshalled.Get());
        marshalled.Reset();
    }
};

// The marshalled reference of `object`, for the process at the other end of `channel`.
HRESULT Marshal(IRpcChannelBuffer* channel, REFIID iid, IUnknown* object, ComPtr<IStream>& stream,
                std::vector<uint8_t>& reference) {
    DWORD context = MSHCTX_LOCAL;
    void* contextData = nullptr;
    channel->GetDestCtx(&context, &contextData);
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (SUCCEEDED(hr)) hr = CoMarshalInterface(stream.Get(), iid, object, context, contextData, MSHLFLAGS_NORMAL);
    if (FAILED(hr)) return hr;
    ULARGE_INTEGER end = {};
    const LARGE_INTEGER here = {};
    HGLOBAL memory = nullptr;
    hr = stream->Seek(here, STREAM_SEEK_CUR, &end);
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream.Get(), &memory);
    if (SUCCEEDED(hr) && end.QuadPart > kMaxReferenceBytes) hr = E_UNEXPECTED;
    const void* bytes = SUCCEEDED(hr) ? GlobalLock(memory) : nullptr;
    if (bytes != nullptr) {
        const auto* first = static_cast<const uint8_t*>(bytes);
        reference.assign(first, first + static_cast<size_t>(end.QuadPart));
        GlobalUnlock(memory);
    } else if (SUCCEEDED(hr)) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        const LARGE_INTEGER start = {};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        CoReleaseMarshalData(stream.Get());
        stream.Reset();
    }
    return hr;
}

// The method's result and, when it succeeded, the object it handed out, as a reply carries them.
void ReplyWithObject(Reply& reply, IRpcChannelBuffer* channel, REFIID iid, HRESULT hr, IUnknown* object) {
    std::vector<uint8_t> reference;
    if (SUCCEEDED(hr) && object != nullptr) hr = Marshal(channel, iid, object, reply.marshalled, reference);
    reply.Result(hr);
    if (FAILED(hr)) return;
    reply.data.U32(static_cast<uint32_t>(reference.size()));
    reply.data.Raw(reference.data(), reference.size());
}

// An object reference a reply carried: its bytes, read off the reply buffer before it goes.
bool ReadReference(Reader& in, std::vector<uint8_t>& reference) {
    uint32_t size = 0;
    const uint8_t* bytes = nullptr;
    if (!in.U32(size) || size > kMaxReferenceBytes || !in.Span(size, bytes)) return false;
    reference.assign(bytes, bytes + size);
    return true;
}

HRESULT Unmarshal(const std::vector<uint8_t>& reference, REFIID iid, void** object) {
    if (reference.empty()) return S_OK;
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (SUCCEEDED(hr)) hr = stream->Write(reference.data(), static_cast<ULONG>(reference.size()), nullptr);
    const LARGE_INTEGER start = {};
    if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    hr = CoUnmarshalInterface(stream.Get(), iid, object);
    if (FAILED(hr)) {
        // The reference the stub gave out is handed back.
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        CoReleaseMarshalData(stream.Get());
    }
    return hr;
}

// A proxy: the interface it serves (its face, whose IUnknown is the outer object's, the proxy
// manager's) and the control buffer the proxy manager holds, which owns the proxy and its channel.
template <typename Face>
class Proxy : public Face {
public:
    using FaceType = Face;
    IRpcProxyBuffer* Control() { return &control_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

protected:
    Proxy(IUnknown* outer, REFIID iid) : outer_(outer != nullptr ? outer : &control_), iid_(iid), control_(*this) {
        ++liveObjects;
    }
    virtual ~Proxy() { --liveObjects; }

    // One round trip: the request sent as method `method`, the reply's out values handed to `read`,
    // which says whether they were well formed. The method's result, or why there was none.
    HRESULT Exchange(ULONG method, const Writer& request, const std::function<bool(Reader&)>& read = {}) {
        ComPtr<IRpcChannelBuffer> channel;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (channel_) {
                channel_->AddRef();
                *channel.Put() = channel_.Get();
            }
        }
        if (!channel) return CO_E_OBJNOTCONNECTED;
        RPCOLEMESSAGE message = {};
        message.dataRepresentation = NDR_LOCAL_DATA_REPRESENTATION;
        message.iMethod = method;
        message.cbBuffer = static_cast<ULONG>(request.Bytes().size());
        HRESULT hr = channel->GetBuffer(&message, iid_);
        if (FAILED(hr)) return hr;
        if (!request.Bytes().empty()) memcpy(message.Buffer, request.Bytes().data(), request.Bytes().size());
        ULONG status = 0;
        hr = channel->SendReceive(&message, &status);
        if (SUCCEEDED(hr)) {
            Reader in(message.Buffer, message.cbBuffer);
            int32_t result = 0;
            if (!in.I32(result)) {
                hr = RPC_E_INVALID_DATA;
            } else if (FAILED(result)) {
                hr = in.AtEnd() ? result : RPC_E_INVALID_DATA;
            } else {
                hr = (!read || read(in)) && in.AtEnd() ? result : RPC_E_INVALID_DATA;
            }
        }
        channel->FreeBuffer(&message);
        return hr;
    }

private:
    class ControlBuffer final : public IRpcProxyBuffer {
    public:
        explicit ControlBuffer(Proxy& proxy) : proxy_(proxy) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            if (ppv == nullptr) return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRpcProxyBuffer)) {
                *ppv = static_cast<IRpcProxyBuffer*>(this);
            } else if (IsEqualIID(riid, proxy_.iid_)) {
                *ppv = static_cast<Face*>(&proxy_);
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
        ULONG STDMETHODCALLTYPE Release() override {
            const LONG left = InterlockedDecrement(&refs_);
            if (left == 0) delete &proxy_;
            return static_cast<ULONG>(left);
        }
        HRESULT STDMETHODCALLTYPE Connect(IRpcChannelBuffer* channel) override {
            if (channel == nullptr) return E_INVALIDARG;
            std::lock_guard<std::mutex> lock(proxy_.mutex_);
            channel->AddRef();
            *proxy_.channel_.Put() = channel;
            return S_OK;
        }
        void STDMETHODCALLTYPE Disconnect() override {
            std::lock_guard<std::mutex> lock(proxy_.mutex_);
            proxy_.channel_.Reset();
        }

    private:
        Proxy& proxy_;
        LONG refs_ = 1;
    };

    IUnknown* outer_;
    IID iid_;
    std::mutex mutex_;
    ComPtr<IRpcChannelBuffer> channel_;
    ControlBuffer control_;
};

class FolderViewProxy final : public Proxy<IFolderView> {
public:
    explicit FolderViewProxy(IUnknown* outer) : Proxy(outer, IID_IFolderView) {}

    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* item) override {
        if (item == nullptr) return E_POINTER;
        *item = nullptr;
        Writer request;
        request.I32(index);
        IdList list;
        const HRESULT hr = Exchange(kItem, request, [&](Reader& in) { return in.List(list); });
        if (SUCCEEDED(hr)) *item = list.release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int* count) override {
        if (count == nullptr) return E_POINTER;
        Writer request;
        request.U32(flags);
        int32_t answer = 0;
        const HRESULT hr = Exchange(kItemCount, request, [&](Reader& in) { return in.I32(answer); });
        *count = SUCCEEDED(hr) ? answer : 0;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        Writer request;
        request.U32(flags);
        request.Guid(riid);
        std::vector<uint8_t> reference;
        const HRESULT hr = Exchange(kItems, request, [&](Reader& in) { return ReadReference(in, reference); });
        if (FAILED(hr)) return hr;
        const HRESULT unmarshalled = Unmarshal(reference, riid, ppv);
        return FAILED(unmarshalled) ? unmarshalled : hr;
    }
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD item, POINT* point) override {
        if (point == nullptr) return E_POINTER;
        Writer request;
        request.List(item);
        POINT answer = {};
        const HRESULT hr = Exchange(kGetItemPosition, request, [&](Reader& in) { return in.Point(answer); });
        *point = SUCCEEDED(hr) ? answer : POINT{};
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT* point) override { return Spacing(kGetSpacing, point); }
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT* point) override { return Spacing(kGetDefaultSpacing, point); }
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override { return Exchange(kGetAutoArrange, Writer()); }
    HRESULT STDMETHODCALLTYPE SelectItem(int, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY items, POINT* points,
                                                     DWORD flags) override {
        if (count > 0 && items == nullptr) return E_INVALIDARG;
        if (count > kMaxItems) return E_INVALIDARG;
        Writer request;
        request.U32(count);
        request.U32(flags);
        request.U32(points != nullptr ? 1 : 0);
        for (UINT i = 0; i < count; ++i) request.List(items[i]);
        if (points != nullptr) {
            for (UINT i = 0; i < count; ++i) request.Point(points[i]);
        }
        return Exchange(kSelectAndPositionItems, request);
    }

private:
    ~FolderViewProxy() override = default;

    HRESULT Spacing(ULONG method, POINT* point) {
        Writer request;
        request.U32(point != nullptr ? 1 : 0);
        POINT answer = {};
        const HRESULT hr = Exchange(method, request, [&](Reader& in) { return in.Point(answer); });
        if (point != nullptr) *point = SUCCEEDED(hr) ? answer : POINT{};
        return hr;
    }
};

class EnumProxy final : public Proxy<IEnumIDList> {
public:
    explicit EnumProxy(IUnknown* outer) : Proxy(outer, IID_IEnumIDList) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override {
        if (fetched != nullptr) *fetched = 0;
        if (items == nullptr) return E_POINTER;
        if ((count > 1 && fetched == nullptr) || count > kMaxItems) return E_INVALIDARG;
        for (ULONG i = 0; i < count; ++i) items[i] = nullptr;
        Writer request;
        request.U32(count);
        request.U32(fetched != nullptr ? 1 : 0);
        std::vector<IdList> lists;
        const HRESULT hr = Exchange(kNext, request, [&](Reader& in) {
            uint32_t answered = 0;
            if (!in.U32(answered) || answered > count) return false;
            lists.resize(answered);
            for (IdList& list : lists) {
                if (!in.List(list) || !list) return false;
            }
            return true;
        });
        if (FAILED(hr)) return hr;
        for (size_t i = 0; i < lists.size(); ++i) items[i] = lists[i].release();
        if (fetched != nullptr) *fetched = static_cast<ULONG>(lists.size());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        Writer request;
        request.U32(count);
        return Exchange(kSkip, request);
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return Exchange(kReset, Writer()); }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) override {
        if (copy == nullptr) return E_POINTER;
        *copy = nullptr;
        std::vector<uint8_t> reference;
        const HRESULT hr = Exchange(kClone, Writer(), [&](Reader& in) { return ReadReference(in, reference); });
        if (FAILED(hr)) return hr;
        const HRESULT unmarshalled = Unmarshal(reference, IID_IEnumIDList, reinterpret_cast<void**>(copy));
        return FAILED(unmarshalled) ? unmarshalled : hr;
    }

private:
    ~EnumProxy() override = default;
};

// Carries out one request on the server's interface; a malformed request is answered
// RPC_E_INVALID_DATA without reaching the server.
using Dispatcher = void (*)(IUnknown* server, ULONG method, Reader& in, Reply& out, IRpcChannelBuffer* channel);

void DispatchFolderView(IUnknown* server, ULONG method, Reader& in, Reply& out, IRpcChannelBuffer* channel) {
    auto* view = static_cast<IFolderView*>(server);
    switch (method) {
        case kItem: {
            int32_t index = 0;
            if (!in.I32(index) || !in.AtEnd()) break;
            ITEMIDLIST* item = nullptr;
            const HRESULT hr = view->Item(index, &item);
            const IdList list(item);
            out.Result(hr);
            if (SUCCEEDED(hr)) out.data.List(list.get());
            return;
        }
        case kItemCount: {
            uint32_t flags = 0;
            if (!in.U32(flags) || !in.AtEnd()) break;
            int count = 0;
            const HRESULT hr = view->ItemCount(flags, &count);
            out.Result(hr);
            if (SUCCEEDED(hr)) out.data.I32(count);
            return;
        }
        case kItems: {
            uint32_t flags = 0;
            GUID iid = {};
            if (!in.U32(flags) || !in.Guid(iid) || !in.AtEnd()) break;
            ComPtr<IUnknown> object;
            const HRESULT hr = view->Items(flags, iid, reinterpret_cast<void**>(object.Put()));
            ReplyWithObject(out, channel, iid, hr, object.Get());
            return;
        }
        case kGetItemPosition: {
            IdList list;
            if (!in.List(list) || !in.AtEnd()) break;
            POINT point = {};
            const HRESULT hr = view->GetItemPosition(list.get(), &point);
            out.Result(hr);
            if (SUCCEEDED(hr)) out.data.Point(point);
            return;
        }
        case kGetSpacing:
        case kGetDefaultSpacing: {
            uint32_t wanted = 0;
            if (!in.U32(wanted) || !in.AtEnd()) break;
            POINT point = {};
            POINT* into = wanted != 0 ? &point : nullptr;
            const HRESULT hr = method == kGetSpacing ? view->GetSpacing(into) : view->GetDefaultSpacing(into);
            out.Result(hr);
            if (SUCCEEDED(hr)) out.data.Point(point);
            return;
        }
        case kGetAutoArrange:
            if (!in.AtEnd()) break;
            out.Result(view->GetAutoArrange());
            return;
        case kSelectAndPositionItems: {
            uint32_t count = 0;
            uint32_t flags = 0;
            uint32_t withPoints = 0;
            // Each item takes at least its count's four bytes: a count the buffer cannot hold is
            // refused before anything is set aside for it.
            if (!in.U32(count) || !in.U32(flags) || !in.U32(withPoints) || count > kMaxItems || count > in.Left() / 4)
                break;
            std::vector<IdList> lists(count);
            std::vector<PCUITEMID_CHILD> items(count);
            std::vector<POINT> points(withPoints != 0 ? count : 0);
            bool whole = true;
            for (uint32_t i = 0; whole && i < count; ++i) {
                whole = in.List(lists[i]);
                items[i] = lists[i].get();
            }
            for (POINT& point : points) whole = whole && in.Point(point);
            if (!whole || !in.AtEnd()) break;
            out.Result(
                view->SelectAndPositionItems(count, items.data(), withPoints != 0 ? points.data() : nullptr, flags));
            return;
        }
        default: out.Result(E_NOTIMPL); return;
    }
    out.Result(RPC_E_INVALID_DATA);
}

void DispatchEnum(IUnknown* server, ULONG method, Reader& in, Reply& out, IRpcChannelBuffer* channel) {
    auto* items = static_cast<IEnumIDList*>(server);
    switch (method) {
        case kNext: {
            uint32_t count = 0;
            uint32_t wanted = 0;
            if (!in.U32(count) || !in.U32(wanted) || !in.AtEnd() || count > kMaxItems || (count > 1 && wanted == 0))
                break;
            std::vector<ITEMIDLIST*> raw(count, nullptr);
            ULONG fetched = 0;
            const HRESULT hr = items->Next(count, raw.data(), wanted != 0 ? &fetched : nullptr);
            if (wanted == 0) fetched = hr == S_OK ? count : 0;
            std::vector<IdList> lists;
            for (ITEMIDLIST* list : raw) lists.emplace_back(list);
            out.Result(hr);
            if (FAILED(hr)) return;
            const uint32_t answered = fetched < count ? fetched : count;
            out.data.U32(answered);
            for (uint32_t i = 0; i < answered; ++i) out.data.List(lists[i].get());
            return;
        }
        case kSkip: {
            uint32_t count = 0;
            if (!in.U32(count) || !in.AtEnd()) break;
            out.Result(items->Skip(count));
            return;
        }
        case kReset:
            if (!in.AtEnd()) break;
            out.Result(items->Reset());
            return;
        case kClone: {
            if (!in.AtEnd()) break;
            ComPtr<IEnumIDList> copy;
            const HRESULT hr = items->Clone(copy.Put());
            ReplyWithObject(out, channel, IID_IEnumIDList, hr, copy.Get());
            return;
        }
        default: out.Result(E_NOTIMPL); return;
    }
    out.Result(RPC_E_INVALID_DATA);
}

class Stub final : public IRpcStubBuffer {
public:
    Stub(REFIID iid, ULONG methods, Dispatcher dispatch) : iid_(iid), methods_(methods), dispatch_(dispatch) {
        ++liveObjects;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRpcStubBuffer)) {
            *ppv = static_cast<IRpcStubBuffer*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE Connect(IUnknown* server) override {
        if (server == nullptr) return E_INVALIDARG;
        IUnknown* face = nullptr;
        const HRESULT hr = server->QueryInterface(iid_, reinterpret_cast<void**>(&face));
        if (FAILED(hr)) return hr;
        std::lock_guard<std::mutex> lock(mutex_);
        *server_.Put() = face;
        return S_OK;
    }
    void STDMETHODCALLTYPE Disconnect() override {
        std::lock_guard<std::mutex> lock(mutex_);
        server_.Reset();
    }
    HRESULT STDMETHODCALLTYPE Invoke(RPCOLEMESSAGE* message, IRpcChannelBuffer* channel) override {
        if (message == nullptr || channel == nullptr) return E_INVALIDARG;
        ComPtr<IUnknown> server;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (server_) {
                server_->AddRef();
                *server.Put() = server_.Get();
            }
        }
        if (!server) return CO_E_OBJNOTCONNECTED;
        if (message->iMethod < 3 || message->iMethod >= methods_) return RPC_E_INVALIDMETHOD;
        Reply reply;
        {
            // Everything is read off the request before the reply's buffer replaces it.
            Reader in(message->Buffer, message->cbBuffer);
            dispatch_(server.Get(), message->iMethod, in, reply, channel);
        }
        message->cbBuffer = static_cast<ULONG>(reply.data.Bytes().size());
        const HRESULT hr = channel->GetBuffer(message, iid_);
        if (FAILED(hr)) {
            reply.Abandon();
            return hr;
        }
        memcpy(message->Buffer, reply.data.Bytes().data(), reply.data.Bytes().size());
        return S_OK;
    }
    IRpcStubBuffer* STDMETHODCALLTYPE IsIIDSupported(REFIID riid) override {
        if (!IsEqualIID(riid, iid_)) return nullptr;
        AddRef();
        return this;
    }
    ULONG STDMETHODCALLTYPE CountRefs() override { return static_cast<ULONG>(refs_); }
    HRESULT STDMETHODCALLTYPE DebugServerQueryInterface(void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(mutex_);
        *ppv = server_.Get();
        return server_ ? S_OK : E_UNEXPECTED;
    }
    void STDMETHODCALLTYPE DebugServerRelease(void*) override {}

private:
    ~Stub() { --liveObjects; }

    IID iid_;
    ULONG methods_;
    Dispatcher dispatch_;
    LONG refs_ = 1;
    std::mutex mutex_;
    ComPtr<IUnknown> server_;
};

class Factory final : public IPSFactoryBuffer {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPSFactoryBuffer)) {
            *ppv = static_cast<IPSFactoryBuffer*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // One factory for the DLL's life; a reference to it keeps the DLL loaded as an object's does.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++liveObjects); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--liveObjects); }

    HRESULT STDMETHODCALLTYPE CreateProxy(IUnknown* outer, REFIID riid, IRpcProxyBuffer** proxy, void** ppv) override {
        if (proxy == nullptr || ppv == nullptr) return E_POINTER;
        *proxy = nullptr;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IFolderView)) return Hand(new FolderViewProxy(outer), proxy, ppv);
        if (IsEqualIID(riid, IID_IEnumIDList)) return Hand(new EnumProxy(outer), proxy, ppv);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateStub(REFIID riid, IUnknown* server, IRpcStubBuffer** stub) override {
        if (stub == nullptr) return E_POINTER;
        *stub = nullptr;
        Stub* made = nullptr;
        if (IsEqualIID(riid, IID_IFolderView)) made = new Stub(riid, kFolderViewMethods, DispatchFolderView);
        if (IsEqualIID(riid, IID_IEnumIDList)) made = new Stub(riid, kEnumMethods, DispatchEnum);
        if (made == nullptr) return E_NOINTERFACE;
        if (server != nullptr) {
            const HRESULT hr = made->Connect(server);
            if (FAILED(hr)) {
                made->Release();
                return hr;
            }
        }
        *stub = made;
        return S_OK;
    }

private:
    // As the system's proxies do: the proxy manager gets the control buffer and the face, the face
    // with a reference of the outer object's.
    template <typename P>
    static HRESULT Hand(P* made, IRpcProxyBuffer** proxy, void** ppv) {
        *proxy = made->Control();
        *ppv = static_cast<typename P::FaceType*>(made);
        made->AddRef();
        return S_OK;
    }
};

Factory factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, standin::kFolderViewProxyClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return liveObjects.load() == 0 ? S_OK : S_FALSE; }
