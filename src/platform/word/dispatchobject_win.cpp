#include "platform/word/dispatchobject.h"

#include <string>
#include <vector>

#include <windows.h>

namespace {

// The arguments of one call as COM takes them: in reverse order, each owning what it holds.
class Arguments final
{
public:
    explicit Arguments(const QVariantList &values)
        : m_variants(values.size())
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            VARIANT &variant = m_variants[values.size() - 1 - i];
            VariantInit(&variant);
            const QVariant &value = values.at(i);
            switch (value.typeId()) {
            case QMetaType::Bool:
                variant.vt = VT_BOOL;
                variant.boolVal = value.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case QMetaType::Int:
                variant.vt = VT_I4;
                variant.lVal = value.toInt();
                break;
            default: {
                const QString text = value.toString();
                variant.vt = VT_BSTR;
                variant.bstrVal
                    = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), UINT(text.size()));
                break;
            }
            }
        }
    }
    ~Arguments()
    {
        for (VARIANT &variant : m_variants)
            VariantClear(&variant);
    }
    Arguments(const Arguments &) = delete;
    Arguments &operator=(const Arguments &) = delete;

    [[nodiscard]] VARIANT *data() { return m_variants.empty() ? nullptr : m_variants.data(); }
    [[nodiscard]] UINT count() const { return UINT(m_variants.size()); }

private:
    std::vector<VARIANT> m_variants;
};

// GetIDsOfNames, then Invoke; the answer lands in result (which the caller clears).
bool invoke(IDispatch *object, const QString &member, WORD flags, const QVariantList &values, VARIANT *result)
{
    if (!object)
        return false;
    std::wstring name = member.toStdWString();
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return false;

    Arguments arguments(values);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = arguments.data();
    parameters.cArgs = arguments.count();
    if (flags == DISPATCH_PROPERTYPUT) {
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT wrongArgument = 0;
    const HRESULT hr = object->Invoke(
        id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, &exception, &wrongArgument);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return SUCCEEDED(hr);
}

} // namespace

void DispatchObject::Release::operator()(IDispatch *object) const
{
    object->Release();
}

DispatchObject::DispatchObject() = default;

DispatchObject::DispatchObject(IDispatch *object)
    : m_object(object)
{ }

DispatchObject::~DispatchObject() = default;

DispatchObject::DispatchObject(DispatchObject &&other) noexcept = default;

DispatchObject &DispatchObject::operator=(DispatchObject &&other) noexcept = default;

DispatchObject DispatchObject::create(const QString &programId)
{
    const std::wstring name = programId.toStdWString();
    CLSID classId;
    if (FAILED(CLSIDFromProgID(name.c_str(), &classId)))
        return {};
    void *object = nullptr;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch, &object)))
        return {};
    return DispatchObject(static_cast<IDispatch *>(object));
}

DispatchObject DispatchObject::get(const QString &member, const QVariantList &arguments) const
{
    VARIANT result;
    VariantInit(&result);
    if (!invoke(m_object.get(), member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments, &result))
        return {};
    IDispatch *object = nullptr;
    if ((result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) && result.punkVal)
        result.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&object));
    VariantClear(&result);
    return DispatchObject(object);
}

bool DispatchObject::put(const QString &member, const QVariant &value) const
{
    return invoke(m_object.get(), member, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

bool DispatchObject::call(const QString &member, const QVariantList &arguments) const
{
    VARIANT result;
    VariantInit(&result);
    const bool ok = invoke(m_object.get(), member, DISPATCH_METHOD, arguments, &result);
    VariantClear(&result);
    return ok;
}
