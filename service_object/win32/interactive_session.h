#pragma once
// Whether anyone can see a window this process shows.

namespace varnel::win32 {

// False in a Windows service, in session 0 (where services run, and where nobody has seen a
// window since Windows Vista), and in any process whose window station is not the visible one
// (WSF_VISIBLE): there a modal box never returns, as nobody can press its button. True
// otherwise, and when Windows cannot say (a box is then shown).
bool someone_can_answer_a_box();

}  // namespace varnel::win32
