// SPDX-License-Identifier: GPL-3.0-or-later
#include "boards.h"
#include "codes.h"

namespace {

struct Board
{
    SubmoduleType code;
    BoardLayout layout;
};

// AI, AO, DI, DO, counting in use, counting reserved, stepper, temperature
const Board boards[] = {
    {SubmoduleDO4, {0, 0, 0, 4, 0, 0, 0, false}},
    {SubmoduleSIM, {0, 0, 0, 2, 0, 0, 0, false}},
    {SubmoduleR, {0, 0, 0, 2, 0, 0, 0, false}},
    {SubmoduleAI, {4, 0, 0, 0, 0, 0, 0, false}},
    {SubmoduleAIO, {2, 2, 0, 0, 0, 0, 0, false}},
    {SubmoduleDI, {0, 0, 4, 0, 2, 4, 0, false}},
    {SubmoduleTMP, {2, 0, 0, 0, 0, 0, 0, true}},
    {SubmoduleDO6, {0, 0, 0, 6, 0, 0, 2, false}},
    {SubmoduleENI2, {}},
    {SubmoduleDI6, {0, 0, 6, 0, 2, 6, 0, false}},
};

} // namespace

const BoardLayout &boardLayout(int code)
{
    static const BoardLayout none;
    for (const Board &board : boards) {
        if (board.code == code)
            return board.layout;
    }
    return none;
}
