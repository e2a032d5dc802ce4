#pragma once
// The standard window's toolbar: its layout, decided from the book, applied to the reader
// window's ToolBarPanel and ToolBar.

namespace folianto {

class TMainForm;
class TNormalImageList;
struct TToolbarLayout;

// The window's toolbar step: lays out the book's toolbar and applies it.
void BuildStandardToolbar(TMainForm& form);

// Puts the layout on the window, replacing the buttons of any earlier build, so that
// showing the window again does not add its buttons twice.
void ApplyToolbarLayout(TMainForm& form, const TToolbarLayout& layout, const TNormalImageList& pictures);

}  // namespace folianto
