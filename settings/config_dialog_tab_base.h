#pragma once
// The base of the settings dialog's pages. A page declares which control shows which key, and
// how, in one ordered table; Load and Save walk that table. Pages with more to do (enable rules,
// values kept outside controls) add it around the table's walk.

#include "foundation/config.h"
#include "foundation/string.h"
#include "ui/ctrl.h"
#include "ui/tab_ctrl.h"

#include <array>
#include <span>

class CConfigDialogTabBase : public Brivox::CTabPage
{
public:
    // How a key moves between the store and its controls.
    enum class BindingKind
    {
        // Check box and bool key.
        Check,
        // Edit and int key: "%d" in, the text's leading integer out (0 without one).
        IntegerEdit,
        // Edit and double key: the display form in, the text read as a real out.
        DecimalEdit,
        // Edit and the key's text unescaped in, escaped out.
        EscapedText,
        // Edit and the key's text as stored, both ways.
        RawText,
        // Two edits, width and height of a size key, each an integer edit.
        SizePair,
        // Radio buttons in value order: the int key's index is checked; the first checked one is
        // stored, 0 when none is.
        RadioIndex,
        // Drop-down list: the int key's entry is selected; the selection is stored, -1 for none.
        ComboIndex,
        // List box: the key's text split at ';' (empty pieces dropped) in, the entries joined with
        // ';' out.
        List,
        // Two radio buttons and a bool key: the first checked when it is true, the second when it
        // is false; stored true exactly when the first is checked.
        BoolRadioPair,
    };

    static constexpr std::size_t MaxBindingControls = 7;

    struct SBinding
    {
        BindingKind kind;
        const wchar_t* key;
        // The controls in the kind's order; unused places 0.
        std::array<int, MaxBindingControls> controls;
    };

    struct STooltip
    {
        // The controls that show the text; unused places 0.
        std::array<int, 2> controls;
        // Lines joined with CR LF.
        const wchar_t* text;
    };

    // The tables are the page's own static ones: they are kept, not copied.
    CConfigDialogTabBase(int templateId, std::span<const SBinding> bindings,
                         std::span<const STooltip> tooltips = {});

    // WM_INITDIALOG gives the page its tool tips; WM_CLOSE destroys it.
    bool HookMessage(Brivox::SMessage& message) override;

    // Fills the controls from the store, binding by binding.
    virtual void Load(Brivox::CConfig& config);
    // Writes every key of the table, in its order.
    virtual void Save(Brivox::CConfig& config);

    // Lets the user choose a folder, starting from the edit's text taken relative to the program's
    // folder; the chosen folder, absolute and with a trailing separator, becomes the edit's text.
    // Virtual so that a test can stand in for the system's folder dialog.
    virtual void BrowseFolder(int editId);

    Brivox::CCtrl Item(int itemId) const;

protected:
    // Puts the variable of a "variable<TAB>description" item of the menu resource at the edit's
    // caret, over its selection, and gives the edit the focus. An item of another form does
    // nothing.
    void InsertMenuVariable(int menuId, int itemId, int editId) const;

private:
    void LoadBinding(const SBinding& binding, Brivox::CConfig& config) const;
    void SaveBinding(const SBinding& binding, Brivox::CConfig& config) const;

    std::span<const SBinding> m_bindings;
    std::span<const STooltip> m_tooltips;
};

// A page with nothing on it, holding the place of a page still to come.
class CConfigDialogEmptyPage : public CConfigDialogTabBase
{
public:
    CConfigDialogEmptyPage();
};
