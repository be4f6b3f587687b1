// The GPU renderer's shading code. Each shader stage is compiled from this one source with exactly
// one of the seven function names defined; the matching section below becomes its main().
//
// Positions are drawable pixels, origin at the lower-left corner, y up. The primitives of a draw are
// read from a buffer texture of four-float texels: a GlyphVertex or ColorVertex is two texels
// (position and texture coordinate or padding, then colour), a ColorCell two (position and size,
// then colour) and a TextCell three (position and size, texture origin and size, then colour).
// Cells are drawn as six vertices each, the two triangles of their rectangle.

uniform vec2 viewport;
uniform samplerBuffer primitives;

vec4 primitive(int texel)
{
    return texelFetch(primitives, texel);
}

vec4 clipPosition(vec2 pixel)
{
    return vec4(pixel / viewport * 2.0 - 1.0, 0.0, 1.0);
}

// Corners of the two triangles of a quad, as fractions of its size.
vec2 quadCorner(int vertex)
{
    const vec2 corners[6] = vec2[6](vec2(0.0, 0.0), vec2(1.0, 0.0), vec2(0.0, 1.0),
                                    vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(0.0, 1.0));
    return corners[vertex];
}

#ifdef terminal_text_vertex
out vec2 texCoord;
out vec4 color;
void main()
{
    vec4 placement = primitive(gl_VertexID * 2);
    color = primitive(gl_VertexID * 2 + 1);
    texCoord = placement.zw;
    gl_Position = clipPosition(placement.xy);
}
#endif

#ifdef terminal_cell_text_vertex
out vec2 texCoord;
out vec4 color;
void main()
{
    int cell = gl_VertexID / 6;
    vec2 corner = quadCorner(gl_VertexID % 6);
    vec4 quad = primitive(cell * 3);
    vec4 texture = primitive(cell * 3 + 1);
    color = primitive(cell * 3 + 2);
    texCoord = texture.xy + corner * texture.zw;
    gl_Position = clipPosition(quad.xy + corner * quad.zw);
}
#endif

#ifdef terminal_color_vertex
out vec4 color;
void main()
{
    color = primitive(gl_VertexID * 2 + 1);
    gl_Position = clipPosition(primitive(gl_VertexID * 2).xy);
}
#endif

#ifdef terminal_cell_color_vertex
out vec4 color;
void main()
{
    int cell = gl_VertexID / 6;
    vec4 quad = primitive(cell * 2);
    color = primitive(cell * 2 + 1);
    gl_Position = clipPosition(quad.xy + quadCorner(gl_VertexID % 6) * quad.zw);
}
#endif

// Premultiplied colour from a BGRA atlas or an image, faded by the vertex colour.
#ifdef terminal_text_fragment
uniform sampler2D atlas;
in vec2 texCoord;
in vec4 color;
out vec4 fragColor;
void main()
{
    fragColor = texture(atlas, texCoord) * vec4(color.rgb * color.a, color.a);
}
#endif

// Coverage from the grayscale atlas applied to the vertex colour, premultiplied.
#ifdef terminal_text_fragment_gray
uniform sampler2D atlas;
in vec2 texCoord;
in vec4 color;
out vec4 fragColor;
void main()
{
    float coverage = texture(atlas, texCoord).r * color.a;
    fragColor = vec4(color.rgb * coverage, coverage);
}
#endif

// The vertex colour, straight alpha.
#ifdef terminal_color_fragment
in vec4 color;
out vec4 fragColor;
void main()
{
    fragColor = color;
}
#endif
