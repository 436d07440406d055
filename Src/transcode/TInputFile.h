// Input file and input stream records of the transcoding engine.
#pragma once

struct TInputStream;
struct TInputFile;
