// The real cabinet menu, opened from the editor on a display (run under a virtual X server):
// a window of its own, within the editor's height at every editor size, in the panel's colours;
// and closing the editor while it is open leaves nothing behind that uses the editor's looks.
#include "EditorLayout.h"
#include "EditorTestSupport.h"

#include <X11/Xlib.h>

namespace
{
class CabinetMenuTest : public EditorTest
{
protected:
    // A bare virtual X server runs no window manager, so properties that the framework asks of
    // one (WM_STATE) do not exist; ignore the resulting X errors as the framework's own
    // applications do, rather than letting Xlib's default handler end the process.
    static void SetUpTestSuite()
    {
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }

    Editor& openOnDesktop(int width)
    {
        auto& opened = openAndSettle();
        opened.addToDesktop(0);
        opened.setTopLeftPosition(0, 0);
        opened.setVisible(true);
        opened.setSize(width, width * 400 / 950);
        pumpMessages(30);
        return opened;
    }

    juce::ComboBox& cabinet() { return controlNamed<juce::ComboBox>("cab"); }

    // The menu's windows: desktop windows that appeared when the menu opened.
    static juce::Array<juce::Component*> menuWindows()
    {
        juce::Array<juce::Component*> windows;
        auto& desktop = juce::Desktop::getInstance();
        for (int index = 0; index < desktop.getNumComponents(); ++index)
            if (auto* window = desktop.getComponent(index); window->getName() == "menu")
                windows.add(window);
        return windows;
    }
};

TEST_F(CabinetMenuTest, OpensInAWindowOfItsOwnWithinTheEditorsHeightInThePanelsColours)
{
    for (const int width : { 475, 600, 950, 1337, 1900, 2500 })
    {
        SCOPED_TRACE(width);
        auto& opened = openOnDesktop(width);
        ASSERT_NE(opened.getPeer(), nullptr) << "no display";
        // Checked as it opens: without a window manager giving the editor focus, the menu's
        // first timer tick takes the process for a background one and closes the menu.
        cabinet().showPopup();

        ASSERT_EQ(menuWindows().size(), 1);
        auto* window = menuWindows().getFirst();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isOnDesktop());
        EXPECT_EQ(window->getParentComponent(), nullptr);

        const auto menuArea = window->getPeer()->getBounds();
        const auto editorArea = opened.getPeer()->getBounds();
        EXPECT_LE(menuArea.getHeight(), editorArea.getHeight());
        // Every entry shows: none has scrolled out of the window.
        EXPECT_GE(menuArea.getHeight(), editorArea.getHeight() / 2);

        // Mostly the selector's dark inset, the rest its text and highlight.
        const auto shot = window->createComponentSnapshot(window->getLocalBounds());
        int inset = 0;
        for (int y = 0; y < shot.getHeight(); ++y)
            for (int x = 0; x < shot.getWidth(); ++x)
                inset += shot.getPixelAt(x, y) == juce::Colour(EditorLayout::kInset) ? 1 : 0;
        EXPECT_GT(inset, shot.getWidth() * shot.getHeight() / 2);

        cabinet().hidePopup();
        pumpMessages(30);
        EXPECT_TRUE(menuWindows().isEmpty());
        closeEditor(*processor, ownedEditor);
    }
}

// With the framework's assertions live (Debug), destroying a look-and-feel that the open menu's
// window still uses is reported; the editor closes the menu first.
TEST_F(CabinetMenuTest, ClosingTheEditorWithTheMenuOpenIsClean)
{
    openOnDesktop(950);
    cabinet().showPopup();
    ASSERT_EQ(menuWindows().size(), 1);

    closeEditor(*processor, ownedEditor);
    pumpMessages(60);
    EXPECT_TRUE(menuWindows().isEmpty());
}
}
