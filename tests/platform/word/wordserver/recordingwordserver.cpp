// An in-process COM server that stands in for Word's "Word.Application" in tests: it knows the
// members of Word's object model that the export uses and writes every call made to it, by name,
// as one line of a recording file:
//
//     create Word.Application
//     application.Visible put true
//     application.Documents get|call
//     font.Name put "Courier New"
//     release application
//
// (receiver, member as resolved by GetIDsOfNames, the Invoke kind, the arguments in call order).
// A member that is not Word's is refused as Word refuses it, and recorded as "unknown"; a put
// without the property-put argument is refused and recorded as "refused".
//
// The test registers the server among the classes (HKEY_CLASSES_ROOT; Wine does not merge the
// user's own classes into it); beside InprocServer32, the class key holds "Recording" (the file
// written) and "Missing" (members, separated by ",", whose object Word cannot give: the call is
// recorded and fails).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

// {6C1F4E52-8A37-4D7B-9E2F-3B5A7C9D1E04}
constexpr CLSID serverClassId
    = {0x6c1f4e52, 0x8a37, 0x4d7b, {0x9e, 0x2f, 0x3b, 0x5a, 0x7c, 0x9d, 0x1e, 0x04}};
constexpr wchar_t classKey[] = L"CLSID\\{6C1F4E52-8A37-4D7B-9E2F-3B5A7C9D1E04}";

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

struct Member
{
    const wchar_t *name;
    bool isProperty;
    const char *answers; // the role of the object the member answers with, if any
};

struct Role
{
    const char *name;
    std::vector<Member> members;
};

const std::vector<Role> &objectModel()
{
    static const std::vector<Role> roles = {
        {"application",
            {{L"Visible", true, nullptr}, {L"Documents", true, "documents"}, {L"Options", true, "options"},
                {L"ActiveDocument", true, "activeDocument"}, {L"Selection", true, "selection"}}},
        {"documents", {{L"Add", false, "document"}}},
        {"document", {}},
        {"options", {{L"CheckSpellingAsYouType", true, nullptr}}},
        {"activeDocument", {{L"Saved", true, nullptr}}},
        {"selection",
            {{L"Font", true, "font"}, {L"TypeText", false, nullptr},
                {L"ParagraphFormat", true, "paragraphFormat"}, {L"TypeParagraph", false, nullptr},
                {L"GoTo", false, "range"}}},
        {"range", {}},
        {"font", {{L"Size", true, nullptr}, {L"Name", true, nullptr}}},
        {"paragraphFormat", {{L"Alignment", true, nullptr}}},
    };
    return roles;
}

const Role &role(const char *name)
{
    for (const Role &candidate : objectModel()) {
        if (std::string(candidate.name) == name)
            return candidate;
    }
    return objectModel().front();
}

std::wstring classValue(const wchar_t *name)
{
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, classKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size)
        != ERROR_SUCCESS)
        return {};
    return buffer;
}

std::string utf8(const wchar_t *text, int length = -1)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    if (length < 0 && !result.empty())
        result.pop_back(); // the terminating NUL
    return result;
}

void record(const std::string &line)
{
    const std::wstring path = classValue(L"Recording");
    if (path.empty())
        return;
    if (FILE *file = _wfopen(path.c_str(), L"ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

bool isMissing(const wchar_t *name)
{
    const std::wstring missing = L"," + classValue(L"Missing") + L",";
    return missing.find(L"," + std::wstring(name) + L",") != std::wstring::npos;
}

std::string argumentText(const VARIANT &argument)
{
    switch (argument.vt) {
    case VT_BOOL:
        return argument.boolVal ? "true" : "false";
    case VT_I2:
        return std::to_string(argument.iVal);
    case VT_I4:
        return std::to_string(argument.lVal);
    case VT_INT:
        return std::to_string(argument.intVal);
    case VT_BSTR:
        return '"' + utf8(argument.bstrVal, int(SysStringLen(argument.bstrVal))) + '"';
    default:
        return "vt" + std::to_string(argument.vt);
    }
}

std::string kindText(WORD flags)
{
    if (flags == DISPATCH_PROPERTYPUT)
        return "put";
    if (flags == (DISPATCH_METHOD | DISPATCH_PROPERTYGET))
        return "get|call";
    if (flags == DISPATCH_PROPERTYGET)
        return "get";
    if (flags == DISPATCH_METHOD)
        return "call";
    return "flags" + std::to_string(flags);
}

class Object final : public IDispatch
{
public:
    explicit Object(const char *roleName)
        : m_role(role(roleName))
    {
        ++liveObjects;
    }
    ~Object() { --liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++m_references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const long left = --m_references;
        if (left == 0) {
            if (std::string(m_role.name) == "application")
                record("release application");
            delete this;
        }
        return ULONG(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }

    // The first name is the member; named arguments are not used by the export, so any further
    // name is unknown.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (size_t m = 0; i == 0 && m < m_role.members.size(); ++m) {
                if (_wcsicmp(names[0], m_role.members[m].name) == 0)
                    ids[0] = DISPID(m + 1);
            }
            if (ids[i] == DISPID_UNKNOWN) {
                record(std::string(m_role.name) + '.' + utf8(names[i]) + " unknown");
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *parameters,
        VARIANT *result, EXCEPINFO *, UINT *) override
    {
        if (id < 1 || size_t(id) > m_role.members.size())
            return DISP_E_MEMBERNOTFOUND;
        const Member &member = m_role.members[size_t(id - 1)];
        std::string line = std::string(m_role.name) + '.' + utf8(member.name) + ' ' + kindText(flags);
        for (UINT i = parameters->cArgs; i > 0; --i)
            line += (i == parameters->cArgs ? " " : ", ") + argumentText(parameters->rgvarg[i - 1]);

        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        const bool wellFormedPut = member.isProperty && parameters->cArgs == 1 && parameters->cNamedArgs == 1
            && parameters->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
        if ((put && !wellFormedPut) || (!put && parameters->cNamedArgs != 0)) {
            record(line + " refused");
            return DISP_E_PARAMNOTFOUND;
        }
        record(line);
        if (member.answers && isMissing(member.name))
            return DISP_E_EXCEPTION;
        if (result) {
            VariantInit(result);
            if (member.answers && !put) {
                result->vt = VT_DISPATCH;
                result->pdispVal = new Object(member.answers);
                result->pdispVal->AddRef();
            }
        }
        return S_OK;
    }

private:
    const Role &m_role;
    std::atomic<long> m_references{0};
};

class Factory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static and lives as long as the module.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        record("create Word.Application");
        Object *application = new (std::nothrow) Object("application");
        if (!application)
            return E_OUTOFMEMORY;
        application->AddRef();
        const HRESULT hr = application->QueryInterface(iid, object);
        application->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }
};

Factory factory;

} // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void **object)
{
    if (classId != serverClassId)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

} // extern "C"
