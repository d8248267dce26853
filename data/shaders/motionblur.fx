// Camera motion blur: nine taps along the direction of the last camera move. The offsets
// are one pixel in texture units; blurintensity (0..1) sets the streak length.
@param float bluroffsetx 0.0
@param float bluroffsety 0.0
@param float blurintensity 0.0
@technique main
@pass p0
@fragment
void main() {
  vec2 step = vec2(bluroffsetx, bluroffsety) * 3.0 * blurintensity;
  vec3 sum = vec3(0.0);
  for (int i = -4; i <= 4; ++i) sum += texture(tex0, vUV0 + step * float(i)).rgb;
  fragColour = vec4(sum / 9.0, 1.0);
}
@end
