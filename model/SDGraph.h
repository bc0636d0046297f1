#pragma once

// Placeholder until this family is built; the label record owns instances through it.
class CSDGraph
{
public:
    virtual ~CSDGraph() = default;
};
