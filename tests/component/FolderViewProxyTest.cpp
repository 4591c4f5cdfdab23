// The stand-in's proxy and stub (standin_proxy.dll) meeting malformed buffers: a count or a length
// the buffer cannot hold is refused without reaching the object or writing past the caller's array.
#include <gtest/gtest.h>

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/ScopedWin.h"
#include "base/ModulePath.h"
#include "tests/stand-in/proxy/ProxyClsid.h"

namespace iv {
namespace {

// u32 fields, little-endian, then raw bytes.
std::vector<uint8_t> Fields(std::initializer_list<uint32_t> values, std::vector<uint8_t> tail = {}) {
    std::vector<uint8_t> bytes;
    for (const uint32_t value : values) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

// A channel that hands the proxy a prepared reply and keeps what the stub answers.
class Channel final : public IRpcChannelBuffer {
public:
    std::vector<uint8_t> reply;
    std::vector<uint8_t> buffer;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetBuffer(RPCOLEMESSAGE* message, REFIID) override {
        buffer.assign(message->cbBuffer, 0);
        message->Buffer = buffer.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendReceive(RPCOLEMESSAGE* message, ULONG*) override {
        buffer = reply;
        message->Buffer = buffer.data();
        message->cbBuffer = static_cast<ULONG>(buffer.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreeBuffer(RPCOLEMESSAGE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetDestCtx(DWORD* context, void** data) override {
        *context = MSHCTX_LOCAL;
        *data = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsConnected() override { return S_OK; }
};

// An enumerator that counts the calls that reach it, and the proxy manager's IUnknown.
class Items final : public IEnumIDList {
public:
    int calls = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = IsEqualIID(riid, IID_IEnumIDList) || IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Next(ULONG, PITEMID_CHILD*, ULONG*) override { return ++calls, S_FALSE; }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return ++calls, S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return ++calls, S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return ++calls, E_NOTIMPL; }
};

class FolderViewProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring self = ModulePath();
        dll_.Reset(LoadLibraryW((self.substr(0, self.find_last_of(L'\\') + 1) + standin::kProxyDllName).c_str()));
        ASSERT_TRUE(dll_);
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto get =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll_.Get(), "DllGetClassObject")));
        ASSERT_NE(get, nullptr);
        ASSERT_EQ(get(standin::kFolderViewProxyClsid, IID_PPV_ARGS(factory_.Put())), S_OK);
    }

    // What the stub answers to a request for method `method` of IEnumIDList.
    std::vector<uint8_t> Invoke(ULONG method, std::vector<uint8_t> request) {
        ComPtr<IRpcStubBuffer> stub;
        EXPECT_EQ(factory_->CreateStub(IID_IEnumIDList, &server_, stub.Put()), S_OK);
        RPCOLEMESSAGE message = {};
        message.iMethod = method;
        message.Buffer = request.data();
        message.cbBuffer = static_cast<ULONG>(request.size());
        EXPECT_EQ(stub->Invoke(&message, &channel_), S_OK);
        return channel_.buffer;
    }

    ScopedModule dll_;
    ComPtr<IPSFactoryBuffer> factory_;
    Channel channel_;
    Items server_;
};

TEST_F(FolderViewProxyTest, TheStubRefusesCountsAndLengthsTheRequestCannotHold) {
    const std::vector<uint8_t> refused = Fields({static_cast<uint32_t>(RPC_E_INVALID_DATA)});
    EXPECT_EQ(Invoke(3, Fields({0xFFFFFFFF, 1})), refused) << "Next of four thousand million lists";
    EXPECT_EQ(Invoke(3, Fields({2})), refused) << "a request that ends early";
    EXPECT_EQ(Invoke(4, Fields({1, 1})), refused) << "a request with more than it needs";
    EXPECT_EQ(server_.calls, 0);
    EXPECT_EQ(Invoke(3, Fields({2, 1})), Fields({S_FALSE, 0}));
    EXPECT_EQ(server_.calls, 1);
}

TEST_F(FolderViewProxyTest, TheProxyRefusesARepliedCountOrListThatDoesNotFit) {
    ComPtr<IRpcProxyBuffer> proxy;
    IEnumIDList* items = nullptr;
    ASSERT_EQ(factory_->CreateProxy(&server_, IID_IEnumIDList, proxy.Put(), reinterpret_cast<void**>(&items)), S_OK);
    ASSERT_EQ(proxy->Connect(&channel_), S_OK);
    // Two lists asked for; the third entry is not the proxy's to write.
    PITEMID_CHILD lists[3] = {nullptr, nullptr, reinterpret_cast<PITEMID_CHILD>(&server_)};
    ULONG fetched = 9;
    const auto next = [&](std::vector<uint8_t> reply) {
        channel_.reply = std::move(reply);
        return items->Next(2, lists, &fetched);
    };
    const std::vector<uint8_t> whole = {4, 0, 'a', 'b', 0, 0};
    std::vector<uint8_t> three;
    for (int i = 0; i < 3; ++i) {
        three.insert(three.end(), {6, 0, 0, 0});
        three.insert(three.end(), whole.begin(), whole.end());
    }
    EXPECT_EQ(next(Fields({S_OK, 3}, three)), RPC_E_INVALID_DATA) << "more lists than asked for";
    EXPECT_EQ(lists[2], reinterpret_cast<PITEMID_CHILD>(&server_));
    EXPECT_EQ(next(Fields({S_FALSE, 1, 40}, {4, 0, 'a', 'b'})), RPC_E_INVALID_DATA) << "a list longer than the reply";
    EXPECT_EQ(next(Fields({S_FALSE, 1, 4}, {1, 0, 0, 0})), RPC_E_INVALID_DATA)
        << "an item that counts less than its own count";
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(lists[0], nullptr);
    ASSERT_EQ(next(Fields({S_FALSE, 1, 6}, whole)), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(memcmp(lists[0], whole.data(), whole.size()), 0);
    CoTaskMemFree(lists[0]);
    items->Release();
}

}  // namespace
}  // namespace iv
