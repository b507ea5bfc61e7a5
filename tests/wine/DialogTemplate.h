#pragma once

// A DLGTEMPLATE with its items, laid out as CreateDialogIndirectParamW reads it: 16-bit words,
// every item starting on a 32-bit boundary. The Windows-only test programs make real "#32770"
// dialogs from it, with their children in the order the items are added.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace winetest {

class DialogTemplate
{
public:
    DialogTemplate(const std::u16string& title, short x, short y, short cx, short cy, std::size_t items,
                   DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE | DS_MODALFRAME)
    {
        addDword(style);
        addDword(0);
        m_words.push_back(static_cast<WORD>(items));
        addRect(x, y, cx, cy);
        m_words.push_back(0); // no menu
        m_words.push_back(0); // the dialog class
        addString(title);
    }

    // One child: a predefined class by name ("Static", "Edit", "Button", "ComboBox"), WS_CHILD
    // added to style.
    void addItem(const std::u16string& className, const std::u16string& text, DWORD style, WORD controlId,
                 short x, short y, short cx, short cy)
    {
        alignToDword();
        addDword(WS_CHILD | style);
        addDword(0);
        addRect(x, y, cx, cy);
        m_words.push_back(controlId);
        addString(className);
        addString(text);
        m_words.push_back(0); // no creation data
    }

    // The template must itself start on a 32-bit boundary.
    const DLGTEMPLATE* data()
    {
        m_aligned.assign((m_words.size() + 1) / 2, 0);
        std::copy(m_words.begin(), m_words.end(), reinterpret_cast<WORD*>(m_aligned.data()));
        return reinterpret_cast<const DLGTEMPLATE*>(m_aligned.data());
    }

private:
    void addDword(DWORD value)
    {
        m_words.push_back(LOWORD(value));
        m_words.push_back(HIWORD(value));
    }
    void addRect(short x, short y, short cx, short cy)
    {
        for (short v : {x, y, cx, cy})
            m_words.push_back(static_cast<WORD>(v));
    }
    void addString(const std::u16string& text)
    {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }
    void alignToDword()
    {
        if (m_words.size() % 2)
            m_words.push_back(0);
    }

    std::vector<WORD> m_words;
    std::vector<DWORD> m_aligned;
};

} // namespace winetest
