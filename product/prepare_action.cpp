#include "product/prepare_action.h"

TInstallerActionPrepare::TInstallerActionPrepare() = default;
TInstallerActionPrepare::~TInstallerActionPrepare() = default;

void TInstallerActionPrepare::Execute() {}

void TInstallerActionPrepare::BuildSummary(TInstallerSummaryBuilder&) {}
