// Identifiers of the resources in quillaro.rc, shared with the code that loads them.
#pragma once
#define IDI_QUILLARO 1
