// Whether the captions of a window show whole: each control's text against
// the room that the control's style leaves for it in the control's box.
#pragma once

#include "Controls.h"

#include <string>
#include <vector>

// One line per caption that its box cannot hold, naming the control, its
// text, the room and what the text needs ("BtnCommit 'Commit + Start': room
// 83 x 25, needs 86 x 13"); empty when every caption fits. Looks at the
// window's buttons, speed buttons, check boxes (and their check marks),
// labels and static texts.
std::vector<std::string> CaptionsThatDoNotFit(TWinControl& Window);
