#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct IDispatch;

// One COM object driven through IDispatch, its members called by name as a script would (late
// binding): no type library, no generated wrappers. The wrapper holds one reference and releases
// it when it goes. Windows only.
class DispatchObject final
{
public:
    DispatchObject();
    // Takes over one reference of the object.
    explicit DispatchObject(IDispatch *object);
    ~DispatchObject();
    DispatchObject(DispatchObject &&other) noexcept;
    DispatchObject &operator=(DispatchObject &&other) noexcept;

    // A new object of the class registered under the program id ("Word.Application"); a null
    // object when no such class is registered or it cannot be created.
    [[nodiscard]] static DispatchObject create(const QString &programId);

    [[nodiscard]] bool isNull() const { return !m_object; }
    void reset() { m_object.reset(); }

    // The object that a property or method answers with; a null object when the member is
    // unknown, fails, or answers with something else.
    [[nodiscard]] DispatchObject get(const QString &member, const QVariantList &arguments = {}) const;
    // Property put; false when the member is unknown or refuses the value.
    bool put(const QString &member, const QVariant &value) const;
    // Method call whose answer is not needed; false when the member is unknown or fails.
    bool call(const QString &member, const QVariantList &arguments = {}) const;

private:
    struct Release
    {
        void operator()(IDispatch *object) const;
    };
    std::unique_ptr<IDispatch, Release> m_object;
};
