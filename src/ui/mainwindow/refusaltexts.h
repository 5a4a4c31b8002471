#pragma once
#include "resolve/resolver.h"
#include <QString>

// The words the user reads when an address gives no row, and the question
// before a playlist's many rows are added: the resolvers answer with data,
// the window writes the sentences here.
namespace vidrona::ui::mainwindow {

// "No video was found at this address.", "The page of this video could
// not be fetched.\r\n<the failure's sentence>\r\nPlease, check the link
// and try again!"
QString refusalText(const resolve::Refusal &refusal);

// "This playlist has 120 videos. Add them all?"; empty when not asked.
QString questionText(const resolve::Answer::Question &question);

} // namespace vidrona::ui::mainwindow
