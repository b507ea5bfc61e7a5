#include "SimFixture.h"

int main()
{
    SimFixture fixture;
    return contract::runContractSuite(fixture) == 0 ? 0 : 1;
}
