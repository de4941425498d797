{ Writes the Real48 reference vectors used by tests/common/Real48Test.cpp.

  Free Pascal's own Real48 conversions (unit Real48Utils) are the reference:
    E <double bits> <six bytes Double2Real gives> <double bits Real2Double gives back from those bytes>
    D <six bytes> <double bits Real2Double gives>
  Bytes are in file order (byte 0 = exponent first), two hex digits each, no separators.

  Double2Real truncates the mantissa and does not range-check the exponent, so its bytes are only
  meaningful for in-range values; the tests know this. The D lines pin the decoding of patterns that
  no encoder produces (zero exponent with mantissa or sign bits set, the extremes). }
program gen_real48;

{$mode objfpc}
{$Q-}{$R-}

uses
  SysUtils, Real48Utils;

var
  lcgState: QWord = 20240611;

function NextRandom: QWord;
begin
  { Knuth's MMIX constants; wraps modulo 2^64 on purpose. }
  lcgState := lcgState * QWord(6364136223846793005) + QWord(1442695040888963407);
  Result := lcgState;
end;

{ Keeps quotients out of constant folding, which may evaluate them in single precision. }
function Quotient(a, b: Double): Double;
begin
  Result := a / b;
end;

function BitsOf(d: Double): QWord;
begin
  Move(d, Result, SizeOf(Result));
end;

function DoubleOf(bits: QWord): Double;
begin
  Move(bits, Result, SizeOf(Result));
end;

function BytesText(const r: Real48): string;
var
  i: Integer;
begin
  Result := '';
  for i := 0 to 5 do
    Result := Result + IntToHex(r[i], 2);
end;

procedure EmitEncode(d: Double);
var
  r: Real48;
  back: Double;
begin
  r := Double2Real(d);
  back := Real2Double(r);
  WriteLn('E ', IntToHex(BitsOf(d), 16), ' ', BytesText(r), ' ', IntToHex(BitsOf(back), 16));
end;

procedure EmitEncodeBits(bits: QWord);
begin
  EmitEncode(DoubleOf(bits));
end;

procedure EmitDecode(b0, b1, b2, b3, b4, b5: Byte);
var
  r: Real48;
begin
  r[0] := b0; r[1] := b1; r[2] := b2; r[3] := b3; r[4] := b4; r[5] := b5;
  WriteLn('D ', BytesText(r), ' ', IntToHex(BitsOf(Real2Double(r)), 16));
end;

var
  i: Integer;
  sign, mantissa, biasedExponent: QWord;
begin
  WriteLn('# Real48 reference vectors from Free Pascal ', {$I %FPCVERSION%}, ' (unit Real48Utils).');
  WriteLn('# Regenerate: see tools/real48/README.md. Do not edit by hand.');
  WriteLn('# E <double bits> <bytes from Double2Real> <double bits from Real2Double of those bytes>');
  WriteLn('# D <bytes> <double bits from Real2Double>');

  { Plain values. }
  EmitEncode(0.0);      { Double2Real writes 2.0 here: the tests skip its bytes for zero }
  EmitEncode(1.0);
  EmitEncode(-1.0);
  EmitEncode(0.5);
  EmitEncode(10.0);
  EmitEncode(-10.0);
  EmitEncode(Pi);
  EmitEncode(-Pi);
  EmitEncode(1e-30);
  EmitEncode(1e30);
  EmitEncode(-1e30);
  EmitEncode(Quotient(1.0, 3.0));
  EmitEncode(Quotient(-2.0, 3.0));
  EmitEncode(0.7071);
  EmitEncode(25.4);
  EmitEncode(-25.4);
  EmitEncode(0.001);
  EmitEncode(-1e-30);
  EmitEncode(Quotient(1e32, 1.0));
  EmitEncode(65535.0);
  EmitEncode(-32768.0);
  EmitEncode(1.7e38);
  EmitEncode(-1.7e38);
  EmitEncode(1e-39);    { below the smallest Real48 }
  EmitEncode(-1e-39);
  EmitEncode(1e39);     { above the largest Real48 }

  { Mantissas that need rounding: 13 bits of the double's 52 fall below the 39 kept. }
  EmitEncodeBits($3FF0000000000800);   { 1 + 2^-41: below half a unit }
  EmitEncodeBits($3FF0000000001000);   { 1 + 2^-40: exactly half, even below }
  EmitEncodeBits($3FF0000000003000);   { 1 + 3*2^-40: exactly half, odd below }
  EmitEncodeBits($3FF0000000001001);   { just above half }
  EmitEncodeBits($3FF0000000000FFF);   { just below half }
  EmitEncodeBits($3FF0000000001FFF);   { nearly a whole unit }
  EmitEncodeBits($3FFFFFFFFFFFFFFF);   { 2 - 2^-52: rounding carries into the exponent }
  EmitEncodeBits($BFFFFFFFFFFFF000);   { -(2 - 2^-40): half, odd below, carries }
  EmitEncodeBits($BFF0000000003000);
  EmitEncodeBits($C08F400000001800);   { -1000 - a little over half a unit }
  EmitEncodeBits($47DFFFFFFFFFE000);   { largest Real48 }
  EmitEncodeBits($C7DFFFFFFFFFE000);
  EmitEncodeBits($47DFFFFFFFFFEFFF);   { just below half a unit above the largest }
  EmitEncodeBits($47DFFFFFFFFFF000);   { half a unit above the largest: rounds out of range }
  EmitEncodeBits($37F0000000000000);   { smallest Real48, 2^-128 }
  EmitEncodeBits($B7F0000000000000);
  EmitEncodeBits($37F0000000001000);
  EmitEncodeBits($37EFFFFFFFFFFFFF);   { just below the smallest: rounds up into range }
  EmitEncodeBits($37E0000000000000);   { 2^-129 }
  EmitEncodeBits($0000000000000001);   { smallest subnormal double }
  EmitEncodeBits($8000000000000000);   { -0 }

  { Pseudo-random values over exponents from well below to well above the Real48 range. }
  for i := 1 to 100 do
  begin
    sign := NextRandom shr 63;
    mantissa := NextRandom shr 12;
    biasedExponent := 1023 - 137 + (NextRandom shr 33) mod 270;
    EmitEncodeBits((sign shl 63) or (biasedExponent shl 52) or mantissa);
  end;

  { Decoding of patterns that the encoder above never writes. }
  EmitDecode($00, $00, $00, $00, $00, $80);   { zero exponent, sign set }
  EmitDecode($00, $FF, $FF, $FF, $FF, $FF);   { zero exponent, mantissa set }
  EmitDecode($00, $01, $00, $00, $00, $00);
  EmitDecode($01, $00, $00, $00, $00, $00);   { smallest }
  EmitDecode($01, $00, $00, $00, $00, $80);
  EmitDecode($FF, $FF, $FF, $FF, $FF, $7F);   { largest }
  EmitDecode($FF, $FF, $FF, $FF, $FF, $FF);
  EmitDecode($81, $01, $00, $00, $00, $00);   { 1 + 2^-39 }
  EmitDecode($81, $00, $00, $00, $00, $40);   { 1.5 }
  EmitDecode($82, $12, $34, $56, $78, $9A);
  EmitDecode($7F, $A5, $5A, $C3, $3C, $01);
end.
