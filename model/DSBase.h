#pragma once

// Placeholder until this family is built; the label record owns instances through it.
class CDSBase
{
public:
    virtual ~CDSBase() = default;
};
