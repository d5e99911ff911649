// parseDialogTemplate on templates built field by field, and its refusal of anything
// that is not a whole extended template.
#include "win32sim/dialog_template.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resource.h"
#include "win32sim/resources.h"

namespace {

// Writes a template the way a resource compiler lays it out.
class TemplateBytes {
public:
    TemplateBytes& word(WORD v) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    TemplateBytes& dword(DWORD v) {
        return word(static_cast<WORD>(v)).word(static_cast<WORD>(v >> 16));
    }
    TemplateBytes& string(const std::u16string& s) {
        for (char16_t c : s) word(c);
        return word(0);
    }
    TemplateBytes& ordinal(WORD v) { return word(0xFFFF).word(v); }
    TemplateBytes& align() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        return *this;
    }
    TemplateBytes& raw(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    // dlgVer 1, signature 0xFFFF, then helpID, exStyle, style, cDlgItems, x, y, cx, cy.
    TemplateBytes& header(DWORD style, WORD items, DWORD helpId = 0, DWORD exStyle = 0) {
        word(1).word(0xFFFF).dword(helpId).dword(exStyle).dword(style).word(items);
        return word(10).word(20).word(200).word(100);
    }
    // helpID, exStyle, style, x, y, cx, cy, id; the class and title follow.
    TemplateBytes& itemHead(DWORD id, DWORD style = WS_CHILD | WS_VISIBLE) {
        return align().dword(0).dword(0).dword(style).word(1).word(2).word(3).word(4).dword(id);
    }

    std::vector<std::uint8_t> bytes;
};

std::optional<win32sim::DialogTemplate> parse(const std::vector<std::uint8_t>& bytes) {
    return win32sim::parseDialogTemplate(bytes.data(), bytes.size());
}

// A template with what the shipped one lacks: a menu and class by name and by ordinal, no
// font, odd-length strings and creation data before the next item, negative coordinates,
// help ids and extended styles, a title that is not ASCII.
std::vector<std::uint8_t> unusualTemplate() {
    TemplateBytes t;
    t.word(1).word(0xFFFF);                             // dlgVer, signature
    t.dword(0x11223344).dword(0x80).dword(0x80C00000);  // helpID, exStyle, style
    t.word(3);                                          // cDlgItems
    t.word(static_cast<WORD>(-5)).word(7).word(100).word(50);
    t.string(u"Menu1").ordinal(0x8002).string(u"Caf\u00e9!");  // no DS_SETFONT: no font
    // Item 1: a named class, a text title, three bytes of creation data.
    t.align().dword(0x01020304).dword(0x200).dword(0x50010080);  // helpID, exStyle, style
    t.word(static_cast<WORD>(-1)).word(2).word(30).word(12);     // x, y, cx, cy
    t.dword(0xFFFFFFFF);                                         // id
    t.string(u"edit").string(u"ab").word(3).raw({9, 8, 7});
    // Item 2: a predefined class by atom and a title by ordinal.
    t.itemHead(77).ordinal(0x0084).ordinal(55).word(0);
    // Item 3: a class of its own and an empty title.
    t.itemHead(0x10000).string(u"MyControl").word(0).word(0);
    return t.bytes;
}

TEST(DialogTemplateParser, ReadsEveryFieldOfAnUnusualTemplate) {
    const auto dialog = parse(unusualTemplate());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->helpId, 0x11223344u);
    EXPECT_EQ(dialog->exStyle, 0x80u);
    EXPECT_EQ(dialog->style, 0x80C00000u);
    EXPECT_EQ(dialog->x, -5);
    EXPECT_EQ(dialog->y, 7);
    EXPECT_EQ(dialog->cx, 100);
    EXPECT_EQ(dialog->cy, 50);
    EXPECT_EQ(dialog->menu, "Menu1");
    EXPECT_EQ(dialog->windowClass, "#32770");
    EXPECT_EQ(dialog->title, "Caf?!");
    EXPECT_EQ(dialog->pointSize, 0);
    EXPECT_EQ(dialog->typeface, "");
    ASSERT_EQ(dialog->items.size(), 3u);

    const auto& edit = dialog->items[0];
    EXPECT_EQ(edit.helpId, 0x01020304u);
    EXPECT_EQ(edit.exStyle, 0x200u);
    EXPECT_EQ(edit.style, 0x50010080u);
    EXPECT_EQ(edit.x, -1);
    EXPECT_EQ(edit.cx, 30);
    EXPECT_EQ(edit.cy, 12);
    EXPECT_EQ(edit.id, -1);
    EXPECT_EQ(edit.className, "Edit");
    EXPECT_EQ(edit.title, "ab");
    EXPECT_FALSE(edit.titleId);
    EXPECT_EQ(edit.creationData, (std::vector<std::uint8_t>{9, 8, 7}));

    const auto& scroll = dialog->items[1];
    EXPECT_EQ(scroll.id, 77);
    EXPECT_EQ(scroll.className, "ScrollBar");
    EXPECT_EQ(scroll.titleId, WORD{55});
    EXPECT_EQ(scroll.title, "");
    EXPECT_EQ(scroll.x, 1);
    EXPECT_EQ(scroll.y, 2);
    EXPECT_EQ(scroll.cx, 3);
    EXPECT_EQ(scroll.cy, 4);

    const auto& custom = dialog->items[2];
    EXPECT_EQ(custom.id, 0x10000);
    EXPECT_EQ(custom.className, "MyControl");
    EXPECT_EQ(custom.title, "");
    EXPECT_TRUE(custom.creationData.empty());
}

TEST(DialogTemplateParser, ReadsTheFontWithDsSetFontOrDsShellFont) {
    for (const DWORD fontStyle : {DWORD{DS_SETFONT}, DWORD{DS_SETFONT | DS_FIXEDSYS}}) {
        SCOPED_TRACE(fontStyle);
        TemplateBytes t;
        t.header(WS_POPUP | fontStyle, 1).word(0).word(0).string(u"T");
        t.word(9).word(700).word(0x0201).string(u"Tahoma");  // italic 1, charset 2
        t.itemHead(5).ordinal(0x0080).string(u"OK").word(0);
        const auto dialog = parse(t.bytes);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->pointSize, 9);
        EXPECT_EQ(dialog->weight, 700);
        EXPECT_EQ(dialog->italic, 1);
        EXPECT_EQ(dialog->charset, 2);
        EXPECT_EQ(dialog->typeface, "Tahoma");
        ASSERT_EQ(dialog->items.size(), 1u);
        EXPECT_EQ(dialog->items[0].className, "Button");
        EXPECT_EQ(dialog->items[0].title, "OK");
    }
}

struct ClassCase {
    bool byAtom;
    WORD atom;
    std::u16string name;
    const char* expected;
};

const ClassCase kClasses[] = {
    {true, 0x0080, u"", "Button"},
    {true, 0x0081, u"", "Edit"},
    {true, 0x0082, u"", "Static"},
    {true, 0x0083, u"", "ListBox"},
    {true, 0x0084, u"", "ScrollBar"},
    {true, 0x0085, u"", "ComboBox"},
    {true, 0x0086, u"", "#134"},
    // By name, in any case (as windres upper-cases them), reported in the usual spelling.
    {false, 0, u"BUTTON", "Button"},
    {false, 0, u"combobox", "ComboBox"},
    {false, 0, u"MSCTLS_PROGRESS32", "msctls_progress32"},
    {false, 0, u"SysListView32", "SysListView32"},
    {false, 0, u"Buttons", "Buttons"},
};

TEST(DialogTemplateParser, NamesControlClassesGivenByAtomOrByName) {
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.expected);
        TemplateBytes t;
        t.header(WS_POPUP, 1).word(0).word(0).word(0).itemHead(1);
        if (c.byAtom) {
            t.ordinal(c.atom);
        } else {
            t.string(c.name);
        }
        t.word(0).word(0);
        const auto dialog = parse(t.bytes);
        ASSERT_TRUE(dialog);
        ASSERT_EQ(dialog->items.size(), 1u);
        EXPECT_EQ(dialog->items[0].className, c.expected);
    }
}

TEST(DialogTemplateParser, RefusesWhatIsNotAnExtendedTemplate) {
    const std::vector<std::uint8_t> valid =
        TemplateBytes().header(WS_POPUP, 0).word(0).word(0).word(0).bytes;
    ASSERT_TRUE(parse(valid));

    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"dlgVer 0", 0, 0},
        {"dlgVer 2", 0, 2},
        {"signature 0x00FF", 3, 0x00},
        {"signature 0xFF00", 2, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = valid;
        bytes[c.at] = c.value;
        EXPECT_FALSE(parse(bytes));
    }
    EXPECT_FALSE(win32sim::parseDialogTemplate(nullptr, 0));
}

// Every prefix of a whole template is cut short somewhere: in the header, a string, the
// font, an item's fixed fields, its class, title or creation data. Each prefix is copied to
// a buffer of its own length, so a read past the end lands outside it.
void expectEveryCutRefused(const std::vector<std::uint8_t>& whole) {
    ASSERT_TRUE(parse(whole));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + cut);
        EXPECT_FALSE(parse(prefix)) << "cut at byte " << cut << " of " << whole.size();
    }
}

TEST(DialogTemplateParser, RefusesTheShippedTemplateCutAnywhere) {
    const auto shipped = win32sim::resourceBytes(5, IDD_MAIN);
    ASSERT_TRUE(shipped);
    expectEveryCutRefused(*shipped);
}

TEST(DialogTemplateParser, RefusesTheUnusualTemplateCutAnywhere) {
    expectEveryCutRefused(unusualTemplate());
}

TEST(DialogTemplateParser, RefusesMoreItemsThanTheTemplateHolds) {
    std::vector<std::uint8_t> bytes = unusualTemplate();
    bytes[16] = 4;  // cDlgItems: 3 items there, 4 announced
    EXPECT_FALSE(parse(bytes));
}

TEST(DialogTemplateParser, RefusesCreationDataLongerThanWhatFollows) {
    TemplateBytes t;
    t.header(WS_POPUP, 1).word(0).word(0).word(0).itemHead(1).ordinal(0x0082).word(0);
    t.word(0xFFF0).raw({1, 2, 3, 4});
    EXPECT_FALSE(parse(t.bytes));
}

}  // namespace
