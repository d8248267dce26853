// The shading of a stamped square of the baked map, multiplied over the drawn map: the
// default shadow image (stage 0, maybe mirrored) under the square's path stamp (stage 1;
// made as the route overlay of the shadow map makes it, laid at "pathalpha"), times the
// light colour and its alpha.
@param float pathalpha 1.0
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex1, vUV1);
  float a = smoothstep(0.05, 0.6, t.a) * 0.75;
  float alpha = a * a * pathalpha;
  vec3 shadow = t.rgb * (0.6 * a) * alpha + texture(tex0, vUV0).rgb * (1.0 - alpha);
  fragColour = vec4(shadow * vColour.rgb * vColour.a, 1.0);
}
@end
