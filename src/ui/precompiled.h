#pragma once
// The windows' libraries read the program's common headers and the
// widgets most of their files include, once per library.
#include "../precompiled.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
