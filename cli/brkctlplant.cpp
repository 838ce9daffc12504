// SPDX-License-Identifier: GPL-3.0-or-later
// brkctl's plant and journal commands: the plant's units through the fleet.
#include "brkctl.h"
#include "plantcommand.h"

bool Brkctl::runPlant()
{
    LinkOptions options;
    if (!linkOptions(&options))
        return false;
    auto plant = std::make_shared<PlantCommand>();
    QString error;
    if (!plant->setUp(m_parser, &error))
        return usageError(error);
    m_fleet = std::make_unique<FleetRunner>(options, plant->jobs());
    plant->schedule(m_fleet.get());
    m_document = plant->document();
    return runFleet([this, plant] { m_results += plant->collect(m_fleet->results()); });
}

bool Brkctl::runJournal()
{
    UnitResult result;
    QString error;
    if (!PlantCommand::journal(m_parser, &result, &error))
        return usageError(error);
    m_results << result;
    printAndFinish();
    return false;
}
