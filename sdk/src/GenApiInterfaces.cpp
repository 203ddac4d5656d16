// Out-of-line destructors of the GenApi node interfaces, so that their virtual tables and type
// information live in the SDK library and dynamic casts work across the library boundary.
#include "genapi/ICommand.h"
#include "genapi/IEnumEntry.h"
#include "genapi/IEnumeration.h"
#include "genapi/IInteger.h"
#include "genapi/INodeMap.h"
#include "genapi/IString.h"

namespace GenApi {

IBase::~IBase() = default;
INode::~INode() = default;
ICommand::~ICommand() = default;
IEnumEntry::~IEnumEntry() = default;
IEnumeration::~IEnumeration() = default;
IInteger::~IInteger() = default;
IString::~IString() = default;
INodeMap::~INodeMap() = default;

}  // namespace GenApi
