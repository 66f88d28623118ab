#pragma once

#include <optional>
#include <string>

class QString;
class QWidget;

namespace trawlix {

// A one-line question (caption, prompt, proposed text); none when cancelled. Its window is
// wide enough for the whole caption: a narrow one has its title cut by the window frame
// ("Send t… Email").
std::optional<std::string> AskLine(QWidget* aParent, const std::string& aCaption, const std::string& aPrompt,
                                   const std::string& aText);

// The least width of such a window with aCaption as its title.
int AskLineWidth(const QString& aCaption);

// A name the user typed, as the text of a tab, a menu item or a group box's title: a "&" is
// shown as itself, not taken as the mark of a shortcut, and a long name is cut to aMaxPixels
// with "…" at its end (the whole name then belongs in a tooltip).
QString CaptionOf(const QString& aName, int aMaxPixels);

}  // namespace trawlix
