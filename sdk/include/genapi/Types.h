// GenApi basic types: access-mode codes, interface-type codes and the node list.
#pragma once

#include <vector>

namespace GenApi {

// Access mode of a node. Codes above RW are possible and count as accessible.
enum EAccessMode : unsigned int {
  NI = 0,  // not implemented
  NA = 1,  // not available
  WO = 2,  // write only
  RO = 3,  // read only
  RW = 4,  // read and write
  // The GenApi names of the two internal codes, spelled as GenApi spells them.
  _UndefinedAccesMode = 5,   // NOLINT(bugprone-reserved-identifier)
  _CycleDetectAccesMode = 6  // NOLINT(bugprone-reserved-identifier)
};

enum EInterfaceType {
  intfIValue,
  intfIBase,
  intfIInteger,
  intfIBoolean,
  intfICommand,
  intfIFloat,
  intfIString,
  intfIRegister,
  intfICategory,
  intfIEnumeration,
  intfIEnumEntry,
  intfIPort
};

class INode;
using node_vector = std::vector<INode*>;
using NodeList_t = node_vector;

}  // namespace GenApi
